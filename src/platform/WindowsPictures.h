#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/RegionalSettings.h"

namespace rulecalc {

// What a Windows locale says about dates and numbers (GetLocaleInfoA), every
// text already converted to GBK. An empty name or an absent designator could
// not be read or converted.
struct SWindowsLocaleInfo {
  std::string ShortDate;      // LOCALE_SSHORTDATE, a date picture such as "yyyy/M/d"
  std::string LongDate;       // LOCALE_SLONGDATE
  std::string LongTime;       // LOCALE_STIMEFORMAT, a time picture such as "H:mm:ss"
  std::string ShortTime;      // LOCALE_SSHORTTIME; empty: the long time without seconds
  std::string DateSeparator;  // LOCALE_SDATE
  std::string TimeSeparator;  // LOCALE_STIME
  std::string Decimal;        // LOCALE_SDECIMAL
  std::array<std::string, 12> MonthNames;       // LOCALE_SMONTHNAME1 ..
  std::array<std::string, 12> ShortMonthNames;  // LOCALE_SABBREVMONTHNAME1 ..
  std::array<std::string, 7> DayNames;          // Sunday first (LOCALE_SDAYNAME7, 1, 2 ..)
  std::array<std::string, 7> ShortDayNames;     // Sunday first
  std::optional<std::string> AMString;          // LOCALE_S1159
  std::optional<std::string> PMString;          // LOCALE_S2359
};

// A Windows date or time picture in the format language: d to dddd as they
// are, M to MMMM as m to mmmm, y and yy as yy, longer as yyyy, h/hh and
// H/HH as h/hh, m/mm as n/nn, s/ss as they are, t/tt as ampm; eras (g, gg)
// are left out; quoted text ('' stands for a quote) and other characters
// print as they are, and separator (0 for none) is written as mark.
std::string TranslatePicture(std::string_view picture, char separator, char mark);

// A time picture without its seconds and the separator before them.
std::string PictureWithoutSeconds(std::string_view picture);

// The regional settings of a Windows locale; what could not be read keeps
// its default, and a set of names (months, short months, weekdays, short
// weekdays) with one name missing keeps all its English names. A separator is the first character of LOCALE_SDATE or
// LOCALE_STIME when that is a printable ASCII byte.
SRegionalSettings SettingsFromWindowsLocale(const SWindowsLocaleInfo& info);

}  // namespace rulecalc
