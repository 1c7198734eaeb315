#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rulecalc::batch {

// Numbers as a spreadsheet's picture writes them: "#,##0.00", "￥#,##0",
// "0.00", or the short forms "," (thousands separators, any decimals) and
// "￥," (the same after a currency sign). Every text before the first
// '#', '0' or ',' is the currency sign (GBK), which a value may carry after
// an optional minus sign, or before it.
struct SNumberPicture {
  std::string GbkWritten;     // the picture as the header writes it, for messages
  std::string GbkCurrency;    // empty: none
  bool Grouped = false;       // ',' groups the digits by three
  int MostDecimals = -1;      // -1: any number of decimals
};

// Parses a picture; nullopt when it is none (no digit and no separator, or
// other characters after the digits).
std::optional<SNumberPicture> NumberPictureOf(std::string_view gbkPicture);

// The value as the library reads numbers ("12,345.00" -> "12345.00", the
// point written as decimalSeparator); nullopt when the picture does not write
// it: a misplaced separator, a letter, too many decimals. Digits without any
// separator are read too, as people leave them out in small numbers.
std::optional<std::string> ReadPictured(std::string_view gbkValue, const SNumberPicture& picture,
                                        char decimalSeparator);

// One way of writing a date: y (year), m (month), d (day), h (hour),
// n (minute), s (second) as runs of letters, anything else as it stands
// ("yyyy-mm-dd", "yyyy/m/d", "yyyy年m月d日", "dd.mm.yyyy hh:nn:ss"). A
// month, day or time field takes one or two digits whatever its run's length.
struct SDateFormat {
  struct SPart {
    char Field;         // 'y', 'm', 'd', 'h', 'n', 's', or 0 for a literal
    std::string Text;   // the literal's GBK bytes
  };
  std::string GbkWritten;
  std::vector<SPart> Parts;
};

// Parses a format; nullopt without a year, a month and a day, or with a
// field twice.
std::optional<SDateFormat> DateFormatOf(std::string_view gbkFormat);

// "yyyy-mm-dd|yyyy/m/d": formats tried in order; nullopt when one is none.
std::optional<std::vector<SDateFormat>> DateFormatsOf(std::string_view gbkFormats);

// What a value gives by a format.
struct SWrittenDate {
  std::string Year;  // digits as written, for the library's reading of one- and two-digit years
  int Month = 0;
  int Day = 0;
  double DayFraction = 0;  // the time of day
};

// The parts of the value by the format; nullopt when the format does not
// write it (a month over 12, a day over 31, an hour over 23 ... are refused
// here, the calendar's own checks are the library's).
std::optional<SWrittenDate> ReadDateAs(std::string_view gbkValue, const SDateFormat& format);

// The formats a column of dates is often written in, for typing advice.
const std::vector<SDateFormat>& CommonDateFormats();

}  // namespace rulecalc::batch
