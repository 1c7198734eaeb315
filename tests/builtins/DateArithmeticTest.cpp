#include <gtest/gtest.h>

#include <limits>

#include "vm/Calendar.h"
#include "vm/Counts.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNullNumber = 0.0000001;

double Day(int year, int month, int day) { return static_cast<double>(DayNumberOf({year, month, day})); }

TEST(DateArithmetic, MonthsKeepTheDayOrTakeTheLastDayOfTheMonth) {
  EXPECT_EQ(AddMonthsToDate(Day(2023, 1, 31), 1), Day(2023, 2, 28));
  EXPECT_EQ(AddMonthsToDate(Day(2024, 1, 31), 1), Day(2024, 2, 29));
  EXPECT_EQ(AddMonthsToDate(Day(2024, 3, 15), -13), Day(2023, 2, 15));
  EXPECT_EQ(AddMonthsToDate(Day(2024, 3, 31), -1), Day(2024, 2, 29));
  EXPECT_EQ(AddMonthsToDate(Day(2024, 3, 5), 0), Day(2024, 3, 5));
  EXPECT_EQ(AddYearsToDate(Day(2024, 2, 29), 1), Day(2025, 2, 28));
  EXPECT_EQ(AddYearsToDate(Day(2024, 2, 29), 4), Day(2028, 2, 29));
  EXPECT_EQ(AddYearsToDate(Day(2024, 2, 29), -100), Day(1924, 2, 29));
  EXPECT_EQ(AddYearsToDate(Day(2000, 2, 29), -100), Day(1900, 2, 28));
}

TEST(DateArithmetic, CountsAreTruncatedTowardZero) {
  EXPECT_EQ(AddMonthsToDate(Day(2024, 3, 5), 1.9), Day(2024, 4, 5));
  EXPECT_EQ(AddMonthsToDate(Day(2024, 3, 5), -1.9), Day(2024, 2, 5));
  EXPECT_EQ(AddYearsToDate(Day(2024, 3, 5), 0.99), Day(2024, 3, 5));
  EXPECT_EQ(AddDaysToDate(Day(2024, 3, 5), 2.7), Day(2024, 3, 7));
  EXPECT_EQ(AddDaysToDate(Day(2024, 3, 5), -2.7), Day(2024, 3, 3));
}

TEST(DateArithmetic, TheTimeOfDaySurvives) {
  const double time = 0.25;
  EXPECT_DOUBLE_EQ(AddMonthsToDate(Day(2023, 1, 31) + time, 1), Day(2023, 2, 28) + time);
  EXPECT_DOUBLE_EQ(AddYearsToDate(Day(2024, 2, 29) + time, 1), Day(2025, 2, 28) + time);
  EXPECT_DOUBLE_EQ(AddMonthsToDate(Day(2024, 3, 15) + time, -13), Day(2023, 2, 15) + time);
  EXPECT_DOUBLE_EQ(AddDaysToDate(Day(2024, 3, 5) + time, 3), Day(2024, 3, 8) + time);
  // Before day 0 the time is subtracted from the day: 29 December 1899, 06:00.
  EXPECT_DOUBLE_EQ(AddMonthsToDate(-1.25, -1), Day(1899, 11, 29) - time);
  EXPECT_DOUBLE_EQ(AddMonthsToDate(-1.25, 1), Day(1900, 1, 29) + time);
  EXPECT_DOUBLE_EQ(AddYearsToDate(Day(1850, 6, 1) - time, 100), Day(1950, 6, 1) + time);
}

TEST(DateArithmetic, DaysAreAddedToTheValueAsItIs) {
  EXPECT_EQ(AddDaysToDate(45356.5, 1), 45357.5);
  EXPECT_EQ(AddDaysToDate(-1.25, 2), 0.75);
  // Not range-checked: the day after 31 December 9999.
  EXPECT_EQ(AddDaysToDate(2958465, 1), 2958466);
  EXPECT_EQ(AddDaysToDate(-657434, -1), -657435);
}

TEST(DateArithmetic, InvalidDatesGiveZero) {
  for (const double date : {1e7, 2958466.0, -657434.5, kNaN, kInfinity, -kInfinity}) {
    EXPECT_EQ(AddYearsToDate(date, 1), 0) << date;
    EXPECT_EQ(AddMonthsToDate(date, 1), 0) << date;
    EXPECT_EQ(AddDaysToDate(date, 1), 0) << date;
    EXPECT_EQ(YearOfDate(date), 0) << date;
    EXPECT_EQ(MonthOfDate(date), 0) << date;
    EXPECT_EQ(DayOfDate(date), 0) << date;
    EXPECT_EQ(DaysInMonthOfDate(date), 0) << date;
  }
}

TEST(DateArithmetic, ResultsOutsideYears1To9999GiveZero) {
  EXPECT_EQ(AddYearsToDate(Day(9999, 1, 1), 1), 0);
  EXPECT_EQ(AddMonthsToDate(Day(9999, 12, 1), 1), 0);
  EXPECT_EQ(AddYearsToDate(Day(5000, 1, 1), 5000), 0);
  EXPECT_EQ(AddYearsToDate(Day(100, 1, 1), -100), 0);
  EXPECT_EQ(AddMonthsToDate(Day(100, 1, 1), -1200), 0);
  // Years 1-99 are kept, though such a value is no valid date for the
  // functions that read one.
  EXPECT_EQ(AddMonthsToDate(Day(100, 1, 1), -1), Day(99, 12, 1));
  EXPECT_EQ(YearOfDate(Day(99, 12, 1)), 0);
  EXPECT_EQ(AddYearsToDate(Day(9998, 12, 31), 1), Day(9999, 12, 31));
}

TEST(DateArithmetic, HugeAndNonFiniteCountsNeverOverflow) {
  const double date = Day(2024, 3, 5);
  for (const double count : {1e300, -1e300, kInfinity, -kInfinity, 2147483648.0, -2147483649.0, 4294967296.0}) {
    EXPECT_EQ(AddYearsToDate(date, count), 0) << count;
    EXPECT_EQ(AddMonthsToDate(date, count), 0) << count;
  }
  // Counts stop at the ends of the 32-bit range; NaN counts as 0.
  EXPECT_EQ(AddDaysToDate(date, 1e300), date + 2147483647.0);
  EXPECT_EQ(AddDaysToDate(date, -kInfinity), date - 2147483648.0);
  EXPECT_EQ(AddDaysToDate(date, kNaN), date);
  EXPECT_EQ(AddMonthsToDate(date, kNaN), date);
  EXPECT_EQ(AddYearsToDate(date, kNaN), date);
}

TEST(DateArithmetic, TruncatedCounts) {
  EXPECT_EQ(TruncateCount(2.9), 2);
  EXPECT_EQ(TruncateCount(-2.9), -2);
  EXPECT_EQ(TruncateCount(2147483647.9), 2147483647);
  EXPECT_EQ(TruncateCount(-2147483648.9), -2147483647 - 1);
  EXPECT_EQ(TruncateCount(1e300), 2147483647);
  EXPECT_EQ(TruncateCount(-kInfinity), -2147483647 - 1);
  EXPECT_EQ(TruncateCount(kNaN), 0);
}

TEST(DateArithmetic, YearMonthAndDayOfADate) {
  const double date = Day(2024, 3, 5) + 0.75;
  EXPECT_EQ(YearOfDate(date), 2024);
  EXPECT_EQ(MonthOfDate(date), 3);
  EXPECT_EQ(DayOfDate(date), 5);
  EXPECT_EQ(YearOfDate(-657434), 100);
  EXPECT_EQ(DayOfDate(-657434), 1);
  EXPECT_EQ(YearOfDate(2958465.99), 9999);
  EXPECT_EQ(MonthOfDate(2958465.99), 12);
  EXPECT_EQ(DayOfDate(2958465.99), 31);
  EXPECT_EQ(DayOfDate(-1.5), 29);
  EXPECT_EQ(DayOfDate(-0.5), 30);
  // A null number is a moment after midnight of day 0.
  EXPECT_EQ(YearOfDate(kNullNumber), 1899);
  EXPECT_EQ(MonthOfDate(kNullNumber), 12);
  EXPECT_EQ(DayOfDate(kNullNumber), 30);
  // Rounding to the millisecond can reach the next day.
  EXPECT_EQ(DayOfDate(Day(2024, 3, 5) + 0.9999999999), 6);
}

TEST(DateArithmetic, DaysInTheMonthOfADate) {
  for (int day = 1; day <= 29; ++day) EXPECT_EQ(DaysInMonthOfDate(Day(2000, 2, day)), 29) << day;
  for (int day = 1; day <= 28; ++day) EXPECT_EQ(DaysInMonthOfDate(Day(1900, 2, day)), 28) << day;
  EXPECT_EQ(DaysInMonthOfDate(Day(2024, 2, 10)), 29);
  EXPECT_EQ(DaysInMonthOfDate(Day(2023, 2, 10)), 28);
  EXPECT_EQ(DaysInMonthOfDate(Day(2024, 4, 10) + 0.5), 30);
  EXPECT_EQ(DaysInMonthOfDate(Day(9999, 12, 31)), 31);
}

}  // namespace
}  // namespace rulecalc
