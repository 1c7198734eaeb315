#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "builtins/DateSettings.h"
#include "vm/Calendar.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {
namespace {

using testing::DayMonthYearSettings;
using testing::MonthDayYearSettings;
using testing::YearMonthDaySettings;

constexpr int kCurrentYear = 2026;

struct STextCase {
  std::string Text;
  double Expected;
};

void PrintTo(const STextCase& c, std::ostream* out) { *out << '"' << c.Text << '"'; }

double Day(int year, int month, int day) { return static_cast<double>(DayNumberOf({year, month, day})); }

class YearMonthDayText : public ::testing::TestWithParam<STextCase> {};

TEST_P(YearMonthDayText, ReadsAsTheShortDateFormatOrders) {
  EXPECT_EQ(TextToDate(GetParam().Text, YearMonthDaySettings(), kCurrentYear), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, YearMonthDayText,
    ::testing::Values(STextCase{"2024-2-29", 45351}, STextCase{"2023-2-29", 0}, STextCase{"2024-02-29 ", 45351},
                      STextCase{"2024-2-29 12:00", 0}, STextCase{"", 0}, STextCase{"2024-02-29", 45351},
                      STextCase{"2024-2-29-", 45351}, STextCase{"2024-2-29 - ", 45351},
                      STextCase{"  2024 -  2 - 29", 45351}, STextCase{"1900-2-29", 0}, STextCase{"2000-2-29", 36585},
                      STextCase{"100-1-1", -657434}, STextCase{"9999-12-31", 2958465},
                      STextCase{"1899-12-30", 0}, STextCase{"1899-12-29", -1},
                      // Only four significant digits are read.
                      STextCase{"02024-2-29", 45351}, STextCase{"0000002024-2-29", 45351},
                      STextCase{"10000-1-1", 0}, STextCase{"2024-0002-0029", 45351}, STextCase{"2024-00002-29", 45351},
                      STextCase{"2024-2-00029", 45351}, STextCase{"2024-2-12345", 0},
                      // One or two digits: within fifty years of 2026.
                      STextCase{"76-1-1", Day(1976, 1, 1)}, STextCase{"75-1-1", Day(2075, 1, 1)},
                      STextCase{"0-1-1", Day(2000, 1, 1)}, STextCase{"00-1-1", Day(2000, 1, 1)},
                      STextCase{"5-3-5", Day(2005, 3, 5)}, STextCase{"99-12-31", Day(1999, 12, 31)},
                      // Three or four digits are the year as written.
                      STextCase{"076-1-1", Day(76, 1, 1)}, STextCase{"0024-1-1", Day(24, 1, 1)},
                      // Two numbers: month and day of the current year.
                      STextCase{"3-5", Day(2026, 3, 5)}, STextCase{"2-29", 0}, STextCase{"12-31-", Day(2026, 12, 31)},
                      STextCase{"2024-2", 0}));

class RejectedText : public ::testing::TestWithParam<std::string> {};

TEST_P(RejectedText, GivesZero) {
  EXPECT_EQ(TextToDate(GetParam(), YearMonthDaySettings(), kCurrentYear), 0) << '"' << GetParam() << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, RejectedText,
                         ::testing::Values(" ", "-", "2024", "2024-", "-2024-2-29", "2024--2-29", "2024-2--29",
                                           "2024-2-29--", "2024-2-29-1", "2024/2/29", "2024-2-29x", "x2024-2-29",
                                           "+2024-2-29", "2024-+2-29", "2024-2-29\t", "\t2024-2-29", "2024-13-1",
                                           "2024-0-1", "2024-1-0", "2024-4-31", "0000-0-0", "2024-2-29.5",
                                           "2024 2 29", std::string("2024-2-29\0", 10), "2024\xD6\xD0-2-29"));

class MonthDayYearText : public ::testing::TestWithParam<STextCase> {};

TEST_P(MonthDayYearText, ReadsAsTheShortDateFormatOrders) {
  EXPECT_EQ(TextToDate(GetParam().Text, MonthDayYearSettings(), kCurrentYear), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dates, MonthDayYearText,
    ::testing::Values(STextCase{"2/29/2024", 45351}, STextCase{"2/29/2023", 0}, STextCase{"02/29/2024 ", 45351},
                      STextCase{"2/29/24", 45351}, STextCase{"3/5", Day(2026, 3, 5)},
                      STextCase{"12/31/1899", 1}, STextCase{"2024-2-29", 0}, STextCase{"2024/2/29", 0},
                      STextCase{"29/2/2024", 0}));

class DayMonthYearText : public ::testing::TestWithParam<STextCase> {};

TEST_P(DayMonthYearText, ReadsAsTheShortDateFormatOrders) {
  EXPECT_EQ(TextToDate(GetParam().Text, DayMonthYearSettings(), kCurrentYear), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Dates, DayMonthYearText,
                         ::testing::Values(STextCase{"29.2.2024", 45351}, STextCase{"5.3", Day(2026, 3, 5)},
                                           STextCase{"5.3.26", Day(2026, 3, 5)}, STextCase{"2.29.2024", 0}));

struct SOrderCase {
  const char* ShortDateFormat;
  double Expected;  // of "1/2/3"
};

class DateOrder : public ::testing::TestWithParam<SOrderCase> {};

// The first D, E, M or Y of the short date format, in either case, decides.
TEST_P(DateOrder, FollowsTheFirstDateLetterOfTheShortDateFormat) {
  SRegionalSettings settings;
  settings.ShortDateFormat = GetParam().ShortDateFormat;
  EXPECT_EQ(TextToDate("1/2/3", settings, kCurrentYear), GetParam().Expected) << GetParam().ShortDateFormat;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DateOrder,
    ::testing::Values(SOrderCase{"mm/dd/yy", Day(2003, 1, 2)}, SOrderCase{"M/d/y", Day(2003, 1, 2)},
                      SOrderCase{"dd/mm/yy", Day(2003, 2, 1)}, SOrderCase{"D.M.Y", Day(2003, 2, 1)},
                      SOrderCase{"yyyy/mm/dd", Day(2001, 2, 3)}, SOrderCase{"Y-M-D", Day(2001, 2, 3)},
                      SOrderCase{"ee/mm/dd", Day(2001, 2, 3)}, SOrderCase{"[E]", Day(2001, 2, 3)},
                      SOrderCase{"", Day(2003, 1, 2)}, SOrderCase{"ab/c", Day(2003, 1, 2)}));

TEST(DateText, TheCurrentYearFillsInAndPlacesShortYears) {
  const SRegionalSettings settings = YearMonthDaySettings();
  EXPECT_EQ(TextToDate("2-29", settings, 2024), 45351);
  EXPECT_EQ(TextToDate("2-29", settings, 2025), 0);
  // With 2000 as the current year the window is 1950-2049.
  EXPECT_EQ(TextToDate("50-1-1", settings, 2000), Day(1950, 1, 1));
  EXPECT_EQ(TextToDate("49-1-1", settings, 2000), Day(2049, 1, 1));
  // A current year outside the calendar gives no date for two numbers.
  EXPECT_EQ(TextToDate("1-1", settings, 0), 0);
  EXPECT_EQ(TextToDate("1-1", settings, 10000), 0);
}

TEST(DateText, ABlankSeparatorIsAnyRunOfBlanks) {
  SRegionalSettings settings = YearMonthDaySettings();
  settings.DateSeparator = ' ';
  EXPECT_EQ(TextToDate("2024 2 29", settings, kCurrentYear), 45351);
  EXPECT_EQ(TextToDate(" 2024   2  29  ", settings, kCurrentYear), 45351);
  EXPECT_EQ(TextToDate("2024-2-29", settings, kCurrentYear), 0);
}

}  // namespace
}  // namespace rulecalc
