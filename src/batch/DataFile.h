#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace rulecalc::batch {

// Which sheet of a workbook a run reads, and its header row.
struct SSheetChoice {
  std::string Sheet;            // empty: the first
  std::uint64_t HeaderRow = 1;
};

// An open input file with its size, read from the start once per pass. The
// path "-" is standard input, copied into an unnamed temporary file first so
// that it can be read twice like any file. A workbook is read as the CSV of
// its sheet (UTF-8), kept in an unnamed temporary file.
class TDataFile {
 public:
  // Throws TUsageError when the file cannot be opened, or a sheet is named
  // for a file that is no workbook.
  explicit TDataFile(const std::string& path, const SSheetChoice& sheet = {});
  ~TDataFile();
  TDataFile(const TDataFile&) = delete;
  TDataFile& operator=(const TDataFile&) = delete;

  std::FILE* File() const { return Handle; }
  std::uint64_t Size() const { return Bytes; }
  // Goes to a byte offset; throws TUsageError when the file cannot seek.
  void Seek(std::uint64_t offset);
  // Up to count bytes from the start, the file left at its start; empty
  // when the file cannot seek (a pipe named by its path).
  std::string Sample(std::size_t count);
  // True when the file is a workbook, read through its sheet's CSV.
  bool Workbook() const { return FromWorkbook; }

 private:
  std::string Path;
  std::FILE* Handle;
  std::uint64_t Bytes = 0;
  bool FromWorkbook = false;
};

// The sheet of the workbook at path as CSV in an unnamed temporary file,
// read from its start; throws TUsageError as TDataFile does.
std::FILE* SheetAsCsvFile(const std::string& path, const SSheetChoice& sheet);

}  // namespace rulecalc::batch
