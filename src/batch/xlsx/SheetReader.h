#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace rulecalc::batch {

// True for a data file that is a workbook: its bytes start as a zip archive
// does, or its name ends in ".xlsx".
bool IsWorkbook(const std::string& path, std::string_view firstBytes);

// Which sheet of a workbook to read, and where its header is.
struct SSheetRequest {
  std::string Path;            // for messages
  std::string Sheet;           // empty: the first sheet
  std::uint64_t HeaderRow = 1; // rows after it are as wide as it is
};

// Writes one sheet of the workbook open as descriptor to out as UTF-8 CSV:
// row N of the sheet on line N (a row the sheet lacks is an empty line), each
// cell as the sheet types it: a number as a decimal number, a number in a
// date style as the day number (days since 30 December 1899, the time of day
// its fraction), a text as it is, TRUE and FALSE as 1 and 0, an error value
// (#N/A) as its text, an empty cell empty. The rows after the header have
// the header's width at least. Memory stays bounded. Throws TUsageError
// naming the file, the sheet and the cell for what cannot be read.
void WriteSheetAsCsv(int descriptor, const SSheetRequest& request, std::FILE* out);

// Excel's serial day number (1900 system, with its 29 February 1900, or the
// 1904 system) as a day number of the calendar; false for the 29 February
// 1900 that never was.
bool DayNumberOfSerial(double serial, bool system1904, double& day);

}  // namespace rulecalc::batch
