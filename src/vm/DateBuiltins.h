#pragma once

#include <string>
#include <string_view>

#include "platform/RegionalSettings.h"

namespace rulecalc {

// Date values count days since 30 December 1899; the fraction is the time
// of day. A value is a valid date from 1 January 100 to the end of
// 31 December 9999.

// TODATE: the date written in text, by the short date format's order and the
// date separator; 0 when the text denotes no date.
double TextToDate(std::string_view text, const SRegionalSettings& settings, int currentYear);

// TOCHAR: the date formatted by format (empty: "c"); "" for an invalid date.
std::string FormatDate(double date, std::string_view format, const SRegionalSettings& settings);

// ADDYEARS, ADDMONTHS, ADDDAYS: count truncated to a signed 32-bit integer; 0
// for an invalid date.
double AddYearsToDate(double date, double count);
double AddMonthsToDate(double date, double count);
double AddDaysToDate(double date, double count);

// YEAR, MONTH, DAY, LASTDAY (days in the date's month); 0 for an invalid date.
double YearOfDate(double date);
double MonthOfDate(double date);
double DayOfDate(double date);
double DaysInMonthOfDate(double date);

}  // namespace rulecalc
