#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/RegionalSettings.h"

namespace rulecalc {

// Date values count days since 30 December 1899; the fraction is the time
// of day. A value is a valid date from 1 January 100 to the end of
// 31 December 9999.

// TODATE: the date written in text as two or three numbers, ordered as in
// the short date format and separated by the date separator; 0 when the text
// denotes no date. A missing year is currentYear; a one- or two-digit year
// falls within fifty years of it.
double TextToDate(std::string_view text, const SRegionalSettings& settings, int currentYear);
// The same date, or nothing when the text denotes no date.
std::optional<double> ReadDateText(std::string_view text, const SRegionalSettings& settings, int currentYear);
// What TODATE reads, for people: "m/d/y with '/'".
std::string ExpectedDateText(const SRegionalSettings& settings);

// TOCHAR: the date formatted by format (empty: "c"), at most 256 bytes; ""
// for an invalid date.
std::string FormatDate(double date, std::string_view format, const SRegionalSettings& settings);

// ADDYEARS, ADDMONTHS, ADDDAYS: count truncated to a signed 32-bit integer
// (TruncateCount); 0 for an invalid date. ADDYEARS and ADDMONTHS keep the
// time of day, move a day missing from the new month back to its last day,
// and give 0 when the result leaves years 1-9999; ADDDAYS adds the days to
// the value as it is.
double AddYearsToDate(double date, double count);
double AddMonthsToDate(double date, double count);
double AddDaysToDate(double date, double count);

// YEAR, MONTH, DAY, LASTDAY (days in the date's month); 0 for an invalid date.
double YearOfDate(double date);
double MonthOfDate(double date);
double DayOfDate(double date);
double DaysInMonthOfDate(double date);

}  // namespace rulecalc
