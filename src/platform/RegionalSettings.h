#pragma once

#include <array>
#include <string>
#include <tuple>

namespace rulecalc {

// The host's regional date and number settings, read once when an instance
// is created. Formats are written in the TOCHAR format language; names and
// designators are GBK texts. The defaults are what the plain "C" locale
// gives: month/day/year with "/", a 24-hour clock with ":", English names.
struct SRegionalSettings {
  std::string ShortDateFormat = "mm/dd/yy";
  std::string LongDateFormat = "ddd mmm d";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char DecimalSeparator = '.';
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
  // Weekday names start with Sunday.
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";

  bool operator==(const SRegionalSettings& other) const;
  bool operator!=(const SRegionalSettings& other) const { return !(*this == other); }
};

inline bool SRegionalSettings::operator==(const SRegionalSettings& other) const {
  const auto fields = [](const SRegionalSettings& s) {
    return std::tie(s.ShortDateFormat, s.LongDateFormat, s.ShortTimeFormat, s.LongTimeFormat, s.DateSeparator,
                    s.TimeSeparator, s.DecimalSeparator, s.ShortMonthNames, s.LongMonthNames, s.ShortDayNames,
                    s.LongDayNames, s.TimeAMString, s.TimePMString);
  };
  return fields(*this) == fields(other);
}

// The settings of the host's regional configuration (the process locale on
// POSIX, the user's default locale on Windows).
SRegionalSettings ReadHostRegionalSettings();

}  // namespace rulecalc
