#pragma once

#include <cstdint>
#include <optional>

namespace rulecalc {

// The calendar behind date values: the Gregorian calendar extended back to
// year 1. A date value counts days since 30 December 1899 (day 0, negative
// days lie before it); its fraction is the time of day. Before day 0 the
// whole-day part is taken toward zero and the fraction counts forward from
// that day's midnight, so -1.5 is 29 December 1899 at noon.

constexpr std::int32_t kMillisecondsPerDay = 24 * 60 * 60 * 1000;

// Date values from 1 January 100, 00:00, up to the end of 31 December 9999.
constexpr double kFirstDateValue = -657434.0;
constexpr double kEndOfDateValues = 2958466.0;

constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;

struct SCalendarDate {
  int Year = 1899;
  int Month = 12;  // 1-12
  int Day = 30;    // 1-31

  bool operator==(const SCalendarDate& other) const {
    return Year == other.Year && Month == other.Month && Day == other.Day;
  }
};

struct STimeOfDay {
  int Hour = 0;         // 0-23
  int Minute = 0;       // 0-59
  int Second = 0;       // 0-59
  int Millisecond = 0;  // 0-999
};

// A valid date value taken apart, to the nearest millisecond.
struct SDateParts {
  std::int64_t DayNumber = 0;       // days since 30 December 1899
  std::int32_t TimeOfDayMs = 0;     // milliseconds since that day's midnight
  SCalendarDate Date;
  STimeOfDay Time;
  int Weekday = 6;                  // 0 Sunday .. 6 Saturday
};

// A leap year is divisible by 4 and not by 100, or divisible by 400.
bool IsLeapYear(int year);

// 28, 29, 30 or 31; month is 1-12.
int DaysInMonth(int year, int month);

// True for years 1-9999, months 1-12 and a day that exists in that month.
bool IsCalendarDate(int year, int month, int day);

// True when value lies from the first to the last valid date value (NaN and
// infinities are not dates).
bool IsDateValue(double value);

// The day number (days since 30 December 1899) of a calendar date, and back.
std::int64_t DayNumberOf(const SCalendarDate& date);
SCalendarDate CalendarDateOf(std::int64_t dayNumber);

// 0 Sunday .. 6 Saturday.
int WeekdayOf(std::int64_t dayNumber);

// Takes a value for which IsDateValue holds apart into day, date, time and
// weekday, rounded to the nearest millisecond; the last millisecond of
// 31 December 9999 is as far as rounding goes.
SDateParts SplitDateValue(double value);

// The date value of a day and a time of day: the time is added on and after
// day 0 and subtracted before it.
double DateValueOf(std::int64_t dayNumber, std::int32_t timeOfDayMs);

// The same day of the month months later (or earlier), moved back to the
// month's last day where the month is shorter; nothing when the year leaves
// 1-9999.
std::optional<SCalendarDate> AddMonths(const SCalendarDate& date, std::int64_t months);

}  // namespace rulecalc
