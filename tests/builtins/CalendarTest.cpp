#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

#include "vm/Calendar.h"

namespace rulecalc {

inline void PrintTo(const SCalendarDate& d, std::ostream* out) { *out << d.Year << '-' << d.Month << '-' << d.Day; }

namespace {

TEST(Calendar, LeapYearsAreEveryFourthExceptCenturiesNotDivisibleBy400) {
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(4));
  EXPECT_TRUE(IsLeapYear(400));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_FALSE(IsLeapYear(100));
  EXPECT_FALSE(IsLeapYear(9999));
}

TEST(Calendar, MonthLengths) {
  const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(DaysInMonth(2023, month), lengths[month - 1]) << month;
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2024, 0), 0);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST(Calendar, CalendarDatesAreYearsOneTo9999WithExistingDays) {
  EXPECT_TRUE(IsCalendarDate(1, 1, 1));
  EXPECT_TRUE(IsCalendarDate(9999, 12, 31));
  EXPECT_TRUE(IsCalendarDate(2024, 2, 29));
  EXPECT_FALSE(IsCalendarDate(2023, 2, 29));
  EXPECT_FALSE(IsCalendarDate(1900, 2, 29));
  EXPECT_FALSE(IsCalendarDate(0, 1, 1));
  EXPECT_FALSE(IsCalendarDate(10000, 1, 1));
  EXPECT_FALSE(IsCalendarDate(2024, 0, 1));
  EXPECT_FALSE(IsCalendarDate(2024, 13, 1));
  EXPECT_FALSE(IsCalendarDate(2024, 4, 31));
  EXPECT_FALSE(IsCalendarDate(2024, 1, 0));
}

struct SDayCase {
  SCalendarDate Date;
  std::int64_t DayNumber;
  int Weekday;  // 0 Sunday
};

void PrintTo(const SDayCase& c, std::ostream* out) { PrintTo(c.Date, out); }

class DayNumbers : public ::testing::TestWithParam<SDayCase> {};

TEST_P(DayNumbers, CountFrom30December1899BothWays) {
  EXPECT_EQ(DayNumberOf(GetParam().Date), GetParam().DayNumber);
  EXPECT_EQ(CalendarDateOf(GetParam().DayNumber), GetParam().Date);
  EXPECT_EQ(WeekdayOf(GetParam().DayNumber), GetParam().Weekday);
}

INSTANTIATE_TEST_SUITE_P(
    KnownDays, DayNumbers,
    ::testing::Values(SDayCase{{1, 1, 1}, -693593, 1}, SDayCase{{100, 1, 1}, -657434, 5},
                      SDayCase{{1899, 12, 29}, -1, 5}, SDayCase{{1899, 12, 30}, 0, 6}, SDayCase{{1899, 12, 31}, 1, 0},
                      SDayCase{{1900, 1, 1}, 2, 1}, SDayCase{{1900, 2, 28}, 60, 3}, SDayCase{{1900, 3, 1}, 61, 4},
                      SDayCase{{2000, 1, 1}, 36526, 6}, SDayCase{{2000, 2, 29}, 36585, 2},
                      SDayCase{{2000, 3, 1}, 36586, 3}, SDayCase{{2024, 2, 29}, 45351, 4},
                      SDayCase{{2024, 3, 5}, 45356, 2}, SDayCase{{9999, 12, 31}, 2958465, 5}));

// Every day of the valid range is the day after the one before it.
TEST(Calendar, DaysFollowOneAnotherThroughTheWholeRange) {
  SCalendarDate expected{100, 1, 1};
  for (std::int64_t day = -657434; day <= 2958465; ++day) {
    const SCalendarDate date = CalendarDateOf(day);
    ASSERT_EQ(date, expected) << "day " << day;
    ASSERT_EQ(DayNumberOf(date), day);
    if (++expected.Day > DaysInMonth(expected.Year, expected.Month)) {
      expected.Day = 1;
      if (++expected.Month > 12) {
        expected.Month = 1;
        ++expected.Year;
      }
    }
  }
  EXPECT_EQ(expected, (SCalendarDate{10000, 1, 1}));
}

TEST(Calendar, ValidDateValuesRunFromYear100ToTheEndOf9999) {
  EXPECT_TRUE(IsDateValue(-657434.0));
  EXPECT_TRUE(IsDateValue(0));
  EXPECT_TRUE(IsDateValue(2958465.9999));
  EXPECT_FALSE(IsDateValue(-657434.0000001));
  EXPECT_FALSE(IsDateValue(2958466.0));
  EXPECT_FALSE(IsDateValue(1e7));
  EXPECT_FALSE(IsDateValue(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(IsDateValue(std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(IsDateValue(-std::numeric_limits<double>::infinity()));
}

struct SSplitCase {
  double Value;
  SCalendarDate Date;
  STimeOfDay Time;
};

void PrintTo(const SSplitCase& c, std::ostream* out) { *out << c.Value; }

class SplitValues : public ::testing::TestWithParam<SSplitCase> {};

TEST_P(SplitValues, GiveDayAndTimeToTheNearestMillisecond) {
  const SDateParts parts = SplitDateValue(GetParam().Value);
  EXPECT_EQ(parts.Date, GetParam().Date);
  EXPECT_EQ(parts.Time.Hour, GetParam().Time.Hour);
  EXPECT_EQ(parts.Time.Minute, GetParam().Time.Minute);
  EXPECT_EQ(parts.Time.Second, GetParam().Time.Second);
  EXPECT_EQ(parts.Time.Millisecond, GetParam().Time.Millisecond);
}

constexpr double kMs = 1.0 / 86400000.0;

INSTANTIATE_TEST_SUITE_P(
    Values, SplitValues,
    ::testing::Values(
        SSplitCase{0, {1899, 12, 30}, {0, 0, 0, 0}},
        SSplitCase{0.5, {1899, 12, 30}, {12, 0, 0, 0}},
        // Before day 0 the day is taken toward zero and the time counts forward.
        SSplitCase{-1.5, {1899, 12, 29}, {12, 0, 0, 0}},
        SSplitCase{-0.25, {1899, 12, 30}, {6, 0, 0, 0}},
        SSplitCase{-1.75, {1899, 12, 29}, {18, 0, 0, 0}},
        SSplitCase{45356.0 + (14 * 3600 + 7 * 60 + 9) / 86400.0 + 45 * kMs, {2024, 3, 5}, {14, 7, 9, 45}},
        SSplitCase{45356.0 + 0.4 * kMs, {2024, 3, 5}, {0, 0, 0, 0}},
        SSplitCase{45356.0 + 0.6 * kMs, {2024, 3, 5}, {0, 0, 0, 1}},
        SSplitCase{45356.0 - 0.4 * kMs, {2024, 3, 5}, {0, 0, 0, 0}},
        SSplitCase{45357.0 - 0.4 * kMs, {2024, 3, 6}, {0, 0, 0, 0}},
        SSplitCase{0.0000001, {1899, 12, 30}, {0, 0, 0, 9}},
        SSplitCase{-657434.0, {100, 1, 1}, {0, 0, 0, 0}},
        SSplitCase{-657433.5, {100, 1, 2}, {12, 0, 0, 0}},
        SSplitCase{2958465.5, {9999, 12, 31}, {12, 0, 0, 0}},
        // Rounding stops at the last millisecond of the range.
        SSplitCase{2958465.0 + 86399999.6 * kMs, {9999, 12, 31}, {23, 59, 59, 999}},
        SSplitCase{std::nextafter(2958466.0, 0.0), {9999, 12, 31}, {23, 59, 59, 999}}));

TEST(Calendar, DateValuesAddTheTimeOnAndAfterDayZeroAndSubtractItBefore) {
  EXPECT_DOUBLE_EQ(DateValueOf(45356, 43200000), 45356.5);
  EXPECT_DOUBLE_EQ(DateValueOf(0, 21600000), 0.25);
  EXPECT_DOUBLE_EQ(DateValueOf(-1, 43200000), -1.5);
  EXPECT_DOUBLE_EQ(DateValueOf(-2, 0), -2.0);
}

struct SMonthCase {
  SCalendarDate From;
  std::int64_t Months;
  SCalendarDate To;
};

void PrintTo(const SMonthCase& c, std::ostream* out) {
  PrintTo(c.From, out);
  *out << " + " << c.Months;
}

class MonthSteps : public ::testing::TestWithParam<SMonthCase> {};

TEST_P(MonthSteps, KeepTheDayOrTakeTheLastDayOfAShorterMonth) {
  const auto moved = AddMonths(GetParam().From, GetParam().Months);
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ(*moved, GetParam().To);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MonthSteps,
    ::testing::Values(SMonthCase{{2023, 1, 31}, 1, {2023, 2, 28}}, SMonthCase{{2024, 1, 31}, 1, {2024, 2, 29}},
                      SMonthCase{{2024, 2, 29}, 12, {2025, 2, 28}}, SMonthCase{{2024, 3, 15}, -13, {2023, 2, 15}},
                      SMonthCase{{2024, 12, 31}, 1, {2025, 1, 31}}, SMonthCase{{2024, 1, 1}, -1, {2023, 12, 1}},
                      SMonthCase{{2024, 5, 31}, -3, {2024, 2, 29}}, SMonthCase{{2024, 6, 15}, 0, {2024, 6, 15}},
                      SMonthCase{{2024, 11, 30}, 14, {2026, 1, 30}}, SMonthCase{{2024, 2, 10}, -25, {2022, 1, 10}},
                      SMonthCase{{100, 1, 1}, -1, {99, 12, 1}}, SMonthCase{{9999, 11, 30}, 1, {9999, 12, 30}},
                      SMonthCase{{2, 1, 1}, -12, {1, 1, 1}}));

TEST(Calendar, MonthStepsBeyondYears1To9999GiveNothing) {
  EXPECT_FALSE(AddMonths({9999, 12, 1}, 1).has_value());
  EXPECT_FALSE(AddMonths({1, 1, 1}, -1).has_value());
  EXPECT_FALSE(AddMonths({2024, 1, 1}, 12 * 8000).has_value());
  EXPECT_FALSE(AddMonths({2024, 1, 1}, std::int64_t{2147483647} * 12).has_value());
  EXPECT_FALSE(AddMonths({2024, 1, 1}, std::int64_t{-2147483647 - 1} * 12).has_value());
}

}  // namespace
}  // namespace rulecalc
