#pragma once

#include <array>
#include <string>

namespace rulecalc {

// The host's regional date and number settings, read once when an instance
// is created. Formats are written in the TOCHAR format language; names and
// designators are GBK texts.
struct SRegionalSettings {
  std::string ShortDateFormat = "m/d/yyyy";
  std::string LongDateFormat = "dddd, mmmm d, yyyy";
  std::string ShortTimeFormat = "h:nn AMPM";
  std::string LongTimeFormat = "h:nn:ss AMPM";
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
};

// The settings of the host's regional configuration (the process locale on
// POSIX, the user's default locale on Windows).
SRegionalSettings ReadHostRegionalSettings();

}  // namespace rulecalc
