#include "vm/Calendar.h"

#include <cmath>

namespace rulecalc {

namespace {

constexpr std::int64_t kDaysPer400Years = 146097;
constexpr std::int64_t kDaysPer100Years = 36524;
constexpr std::int64_t kDaysPer4Years = 1461;
constexpr std::int64_t kDaysPerYear = 365;

// 30 December 1899 counted in days from 1 January of year 1.
constexpr std::int64_t kDayZeroSinceYearOne = 693593;

// The last millisecond that a valid date value can round to.
constexpr std::int64_t kLastMillisecond =
    static_cast<std::int64_t>(kEndOfDateValues) * kMillisecondsPerDay - 1;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// Days from 1 January of year 1 to 1 January of year.
std::int64_t DaysBeforeYear(std::int64_t year) {
  const std::int64_t y = year - 1;
  return y * kDaysPerYear + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kLength[month - 1];
}

bool IsCalendarDate(int year, int month, int day) {
  return year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

bool IsDateValue(double value) { return value >= kFirstDateValue && value < kEndOfDateValues; }

std::int64_t DayNumberOf(const SCalendarDate& date) {
  std::int64_t days = DaysBeforeYear(date.Year);
  for (int month = 1; month < date.Month; ++month) days += DaysInMonth(date.Year, month);
  return days + (date.Day - 1) - kDayZeroSinceYearOne;
}

// Counts off whole 400-, 100-, 4- and 1-year cycles from year 1, then months.
SCalendarDate CalendarDateOf(std::int64_t dayNumber) {
  std::int64_t days = dayNumber + kDayZeroSinceYearOne;
  const std::int64_t cycles400 = FloorDiv(days, kDaysPer400Years);
  days -= cycles400 * kDaysPer400Years;
  std::int64_t cycles100 = days / kDaysPer100Years;
  if (cycles100 == 4) cycles100 = 3;  // the 400th year's leap day
  days -= cycles100 * kDaysPer100Years;
  const std::int64_t cycles4 = days / kDaysPer4Years;
  days -= cycles4 * kDaysPer4Years;
  std::int64_t years = days / kDaysPerYear;
  if (years == 4) years = 3;  // the 4th year's leap day
  days -= years * kDaysPerYear;

  SCalendarDate date;
  date.Year = static_cast<int>(cycles400 * 400 + cycles100 * 100 + cycles4 * 4 + years + 1);
  date.Month = 1;
  while (days >= DaysInMonth(date.Year, date.Month)) {
    days -= DaysInMonth(date.Year, date.Month);
    ++date.Month;
  }
  date.Day = static_cast<int>(days) + 1;
  return date;
}

// Day 0, 30 December 1899, was a Saturday.
int WeekdayOf(std::int64_t dayNumber) { return static_cast<int>(FloorMod(dayNumber + 6, 7)); }

SDateParts SplitDateValue(double value) {
  std::int64_t total = std::llround(value * kMillisecondsPerDay);
  if (total > kLastMillisecond) total = kLastMillisecond;
  SDateParts parts;
  parts.DayNumber = total / kMillisecondsPerDay;
  const std::int64_t rest = total % kMillisecondsPerDay;
  parts.TimeOfDayMs = static_cast<std::int32_t>(rest < 0 ? -rest : rest);
  parts.Date = CalendarDateOf(parts.DayNumber);
  parts.Time.Hour = parts.TimeOfDayMs / 3600000;
  parts.Time.Minute = parts.TimeOfDayMs / 60000 % 60;
  parts.Time.Second = parts.TimeOfDayMs / 1000 % 60;
  parts.Time.Millisecond = parts.TimeOfDayMs % 1000;
  parts.Weekday = WeekdayOf(parts.DayNumber);
  return parts;
}

double DateValueOf(std::int64_t dayNumber, std::int32_t timeOfDayMs) {
  const double fraction = static_cast<double>(timeOfDayMs) / kMillisecondsPerDay;
  const auto day = static_cast<double>(dayNumber);
  return dayNumber >= 0 ? day + fraction : day - fraction;
}

// Whole years first, then the remaining months (with the sign of the count);
// a month pushed past either end of the year carries into the next year.
std::optional<SCalendarDate> AddMonths(const SCalendarDate& date, std::int64_t months) {
  std::int64_t year = date.Year + months / 12;
  std::int64_t month = date.Month + months % 12;
  if (month < 1) {
    year -= 1;
    month += 12;
  } else if (month > 12) {
    year += 1;
    month -= 12;
  }
  if (year < kFirstYear || year > kLastYear) return std::nullopt;
  SCalendarDate moved{static_cast<int>(year), static_cast<int>(month), date.Day};
  const int length = DaysInMonth(moved.Year, moved.Month);
  if (moved.Day > length) moved.Day = length;
  return moved;
}

}  // namespace rulecalc
