// ADDYEARS, ADDMONTHS, ADDDAYS, YEAR, MONTH, DAY, LASTDAY on date values.
// TODATE is in DateText.cpp, TOCHAR in DateFormat.cpp.

#include <cstdint>
#include <optional>

#include "vm/Calendar.h"
#include "vm/Counts.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {

namespace {

// The date months later, same time of day; 0 for an invalid date or a
// result outside years 1-9999.
double ShiftByMonths(double date, std::int64_t months) {
  if (!IsDateValue(date)) return 0;
  const SDateParts parts = SplitDateValue(date);
  const std::optional<SCalendarDate> moved = AddMonths(parts.Date, months);
  if (!moved) return 0;
  return DateValueOf(DayNumberOf(*moved), parts.TimeOfDayMs);
}

}  // namespace

double AddYearsToDate(double date, double count) {
  return ShiftByMonths(date, std::int64_t{TruncateCount(count)} * 12);
}

double AddMonthsToDate(double date, double count) { return ShiftByMonths(date, TruncateCount(count)); }

// The days are added to the value itself, so the result is not range-checked.
double AddDaysToDate(double date, double count) {
  return IsDateValue(date) ? date + TruncateCount(count) : 0;
}

double YearOfDate(double date) { return IsDateValue(date) ? SplitDateValue(date).Date.Year : 0; }

double MonthOfDate(double date) { return IsDateValue(date) ? SplitDateValue(date).Date.Month : 0; }

double DayOfDate(double date) { return IsDateValue(date) ? SplitDateValue(date).Date.Day : 0; }

double DaysInMonthOfDate(double date) {
  if (!IsDateValue(date)) return 0;
  const SCalendarDate day = SplitDateValue(date).Date;
  return DaysInMonth(day.Year, day.Month);
}

}  // namespace rulecalc
