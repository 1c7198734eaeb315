#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include "builtins/DateSettings.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {
namespace {

// Tuesday 5 March 2024, 14:07:09.045.
const double kAfternoon = 45356.0 + (14 * 3600000.0 + 7 * 60000.0 + 9 * 1000.0 + 45.0) / 86400000.0;
// Saturday 9 November 2024, 00:05:03.
const double kMidnight = 45605.0 + (5 * 60.0 + 3.0) / 86400.0;
// Tuesday 5 March 2024, 09:30:00.
const double kMorning = 45356.0 + 9.5 / 24.0;

// Separators that differ from the characters of the format.
SRegionalSettings DistinctSettings() {
  SRegionalSettings settings;
  settings.ShortDateFormat = "yyyy/m/d";
  settings.LongDateFormat = "dddd d mmmm yyyy";
  settings.ShortTimeFormat = "hh:nn";
  settings.LongTimeFormat = "hh:nn:ss";
  settings.DateSeparator = '-';
  settings.TimeSeparator = '.';
  settings.TimeAMString = "vorm.";
  settings.TimePMString = "nachm.";
  return settings;
}

struct SFormatCase {
  std::string Format;
  std::string Expected;
  double Value = kAfternoon;
};

void PrintTo(const SFormatCase& c, std::ostream* out) { *out << '"' << c.Format << "\" of " << c.Value; }

class Specifiers : public ::testing::TestWithParam<SFormatCase> {};

TEST_P(Specifiers, WriteTheDate) {
  EXPECT_EQ(FormatDate(GetParam().Value, GetParam().Format, DistinctSettings()), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Day, Specifiers,
    ::testing::Values(SFormatCase{"d", "5"}, SFormatCase{"dd", "05"}, SFormatCase{"ddd", "Tue"},
                      SFormatCase{"dddd", "Tuesday"}, SFormatCase{"ddddd", "2024-3-5"},
                      SFormatCase{"dddddd", "Tuesday 5 March 2024"}, SFormatCase{"dddddddd", "Tuesday 5 March 2024"},
                      SFormatCase{"D", "5"}, SFormatCase{"DD", "05"}, SFormatCase{"DDDD", "Tuesday"},
                      SFormatCase{"Dd", "55"}, SFormatCase{"dDd", "555"}, SFormatCase{"dd", "31", 45657},
                      SFormatCase{"aaa", "Tue"}, SFormatCase{"aaaa", "Tuesday"}, SFormatCase{"AAAAA", "Tuesday"},
                      SFormatCase{"dddd", "Saturday", 0}, SFormatCase{"dddd", "Friday", -1.5},
                      SFormatCase{"dddd", "Sunday", 1}));

INSTANTIATE_TEST_SUITE_P(
    MonthAndYear, Specifiers,
    ::testing::Values(SFormatCase{"m", "3"}, SFormatCase{"mm", "03"}, SFormatCase{"mmm", "Mar"},
                      SFormatCase{"mmmm", "March"}, SFormatCase{"mmmmmm", "March"}, SFormatCase{"MMM", "Mar"},
                      SFormatCase{"m", "12", 45657}, SFormatCase{"y", "24"}, SFormatCase{"yy", "24"},
                      SFormatCase{"yyy", "2024"}, SFormatCase{"yyyy", "2024"}, SFormatCase{"yyyyyy", "2024"},
                      SFormatCase{"YY", "24"}, SFormatCase{"yy", "05", 38353}, SFormatCase{"yyyy", "0100", -657434},
                      SFormatCase{"yy", "00", -657434}, SFormatCase{"yyyy-mm-dd", "9999-12-31", 2958465}));

INSTANTIATE_TEST_SUITE_P(
    Time, Specifiers,
    ::testing::Values(SFormatCase{"h", "14"}, SFormatCase{"hh", "14"}, SFormatCase{"hhhh", "14"},
                      SFormatCase{"h", "9", kMorning}, SFormatCase{"hh", "09", kMorning},
                      SFormatCase{"h", "0", kMidnight}, SFormatCase{"n", "7"}, SFormatCase{"nn", "07"},
                      SFormatCase{"nnn", "07"}, SFormatCase{"N", "7"}, SFormatCase{"s", "9"}, SFormatCase{"ss", "09"},
                      SFormatCase{"sss", "09"}, SFormatCase{"z", "45"}, SFormatCase{"zz", "45"},
                      SFormatCase{"zzz", "045"}, SFormatCase{"zzzzz", "045"}, SFormatCase{"z", "0", kMorning},
                      SFormatCase{"t", "14.07"}, SFormatCase{"tt", "14.07.09"}, SFormatCase{"ttt", "14.07.09"},
                      SFormatCase{"hh:nn:ss.zzz", "14.07.09.045"}));

INSTANTIATE_TEST_SUITE_P(
    MinuteAfterHour, Specifiers,
    ::testing::Values(SFormatCase{"hh:mm", "14.07"}, SFormatCase{"h:m", "14.7"}, SFormatCase{"H:MM", "14.07"},
                      SFormatCase{"h 'x' mm", "14 x 07"}, SFormatCase{"h\"\"m", "147"},
                      SFormatCase{"h mmm", "14 Mar"}, SFormatCase{"hh:nn mm", "14.07 03"},
                      SFormatCase{"h x m", "14 x 3"}, SFormatCase{"mm hh", "03 14"},
                      SFormatCase{"hh/mm/dd", "14-07-05"}, SFormatCase{"m/d h:m", "3-5 14.7"}));

INSTANTIATE_TEST_SUITE_P(
    MorningAndAfternoon, Specifiers,
    ::testing::Values(SFormatCase{"am/pm", "pm"}, SFormatCase{"AM/PM", "PM"}, SFormatCase{"Am/pM", "pM"},
                      SFormatCase{"am/pm", "am", kMorning}, SFormatCase{"AM/pm", "AM", kMorning},
                      SFormatCase{"a/p", "p"}, SFormatCase{"A/P", "P"}, SFormatCase{"a/P", "a", kMorning},
                      SFormatCase{"ampm", "nachm."}, SFormatCase{"AMPM", "vorm.", kMorning},
                      SFormatCase{"h:nn am/pm", "2.07 pm"}, SFormatCase{"hh am/pm", "02 pm"},
                      SFormatCase{"h a/p", "2 p"}, SFormatCase{"h ampm", "2 nachm."},
                      SFormatCase{"am/pm h", "pm 2"}, SFormatCase{"h:nn am/pm", "9.30 am", kMorning},
                      SFormatCase{"h am/pm", "12 am", kMidnight}, SFormatCase{"h am/pm", "12 pm", 45356.5},
                      SFormatCase{"h am/pm", "11 pm", 45356.0 + 23.0 / 24.0},
                      // Only a specifier before the next h counts.
                      SFormatCase{"h h am/pm", "14 2 pm"}, SFormatCase{"am/pm h h", "pm 2 2"},
                      SFormatCase{"h 'am/pm'", "14 am/pm"}, SFormatCase{"h \"h\" am/pm", "2 h pm"},
                      SFormatCase{"h", "14"}, SFormatCase{"a", "a"}, SFormatCase{"aa", "aa"},
                      SFormatCase{"am/p", "a3-p"}, SFormatCase{"amp", "a3p"}));

INSTANTIATE_TEST_SUITE_P(
    Expansions, Specifiers,
    ::testing::Values(SFormatCase{"c", "2024-3-5 14.07.09"}, SFormatCase{"", "2024-3-5 14.07.09"},
                      SFormatCase{"c", "2024-3-5", 45356}, SFormatCase{"", "2024-3-5", 45356},
                      SFormatCase{"c", "2024-3-5", 45356 + 0.4 / 86400.0},
                      SFormatCase{"c", "2024-11-9 00.05.03", kMidnight}, SFormatCase{"C", "2024-3-5 14.07.09"},
                      SFormatCase{"[ddddd] [t]", "[2024-3-5] [14.07]"}));

INSTANTIATE_TEST_SUITE_P(
    TextAndSeparators, Specifiers,
    ::testing::Values(SFormatCase{"/", "-"}, SFormatCase{":", "."}, SFormatCase{"yyyy/mm/dd", "2024-03-05"},
                      SFormatCase{"'yyyy'", "yyyy"}, SFormatCase{"\"mm/dd\"", "mm/dd"},
                      SFormatCase{"'it''s'", "its"}, SFormatCase{"'a\"b'", "a\"b"}, SFormatCase{"\"a'b\"", "a'b"},
                      SFormatCase{"'unclosed d", "unclosed d"}, SFormatCase{"x", "x"}, SFormatCase{"xyz", "x2445"},
                      SFormatCase{"Q1 2024", "Q1 2024"}, SFormatCase{"e", ""}, SFormatCase{"gg ee yyyy", "  2024"},
                      SFormatCase{"E G", " "}, SFormatCase{"#%!", "#%!"}, SFormatCase{"b", "b"},
                      SFormatCase{"\xC4\xEA", "\xC4\xEA"},
                      SFormatCase{"yyyy\xC4\xEAmm\xD4\xC2", "2024\xC4\xEA" "03\xD4\xC2"},
                      // Double-byte characters whose second byte is a letter are copied whole.
                      SFormatCase{"\x81\x6D\x81\x64\x81\x68", "\x81\x6D\x81\x64\x81\x68"},
                      SFormatCase{"h\x81\x6Dm", "14\x81\x6D" "7"}, SFormatCase{"\x81", "\x81"},
                      SFormatCase{"d\x81", "5\x81"}));

TEST(DateFormat, InvalidDatesGiveTheEmptyText) {
  const SRegionalSettings settings = DistinctSettings();
  for (const double value : {1e7, 2958466.0, -657434.0000001, -1e300, std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(FormatDate(value, "yyyy", settings), "") << value;
    EXPECT_EQ(FormatDate(value, "", settings), "") << value;
  }
}

TEST(DateFormat, NegativeDatesKeepTheirTimeOfDay) {
  const SRegionalSettings settings = DistinctSettings();
  EXPECT_EQ(FormatDate(-1.5, "yyyy/mm/dd hh:nn", settings), "1899-12-29 12.00");
  EXPECT_EQ(FormatDate(-0.25, "yyyy/mm/dd hh:nn", settings), "1899-12-30 06.00");
  EXPECT_EQ(FormatDate(-657433.75, "yyyy/mm/dd hh:nn", settings), "0100-01-02 18.00");
  EXPECT_EQ(FormatDate(2958465.9999999, "yyyy/mm/dd hh:nn:ss.zzz", settings), "9999-12-31 23.59.59.991");
  EXPECT_EQ(FormatDate(std::nextafter(2958466.0, 0.0), "yyyy/mm/dd hh:nn:ss.zzz", settings),
            "9999-12-31 23.59.59.999");
}

TEST(DateFormat, ExpansionsNestTwoLevelsDeep) {
  SRegionalSettings settings = DistinctSettings();
  settings.ShortDateFormat = "<yyyy ddddd>";
  settings.LongDateFormat = "{ddddd|c|tt}";
  settings.LongTimeFormat = "(hh t)";
  settings.ShortTimeFormat = "[nn]";
  // The format given is the first level, what it names the second; what
  // those name in turn gives nothing.
  EXPECT_EQ(FormatDate(kAfternoon, "ddddd", settings), "<2024 >");
  // c at the second level still writes the blank between date and time.
  EXPECT_EQ(FormatDate(kAfternoon, "dddddd", settings), "{| |}");
  EXPECT_EQ(FormatDate(kAfternoon, "c", settings), "<2024 > (14 )");
  EXPECT_EQ(FormatDate(kAfternoon, "tt", settings), "(14 )");
  EXPECT_EQ(FormatDate(kAfternoon, "t", settings), "[07]");
}

TEST(DateFormat, AMarkerOfAnExpansionCountsForTheHoursAfterIt) {
  SRegionalSettings settings = DistinctSettings();
  settings.ShortTimeFormat = "h am/pm";
  EXPECT_EQ(FormatDate(kAfternoon, "h t h", settings), "14 2 pm 2");
}

TEST(DateFormat, TheResultIsCutAt256Bytes) {
  const SRegionalSettings settings = DistinctSettings();
  EXPECT_EQ(FormatDate(kAfternoon, std::string(300, 'x'), settings), std::string(256, 'x'));
  std::string format;
  std::string expected;
  for (int i = 0; i < 60; ++i) {
    format += "mmmm ";
    expected += "March ";
  }
  EXPECT_EQ(FormatDate(kAfternoon, format, settings), expected.substr(0, 256));
  EXPECT_EQ(FormatDate(kAfternoon, std::string(255, 'x') + "yyyy", settings), std::string(255, 'x') + "2");
  EXPECT_EQ(FormatDate(kAfternoon, std::string(256, '-'), settings), std::string(256, '-'));
}

TEST(DateFormat, EdgeCasesWithColonAndSlash) {
  SRegionalSettings settings = testing::YearMonthDaySettings();
  EXPECT_EQ(FormatDate(kAfternoon, "yyyy-mm-dd hh:nn", settings), "2024-03-05 14:07");
  EXPECT_EQ(FormatDate(kAfternoon, "hh:mm", settings), "14:07");
  EXPECT_EQ(FormatDate(kAfternoon, "m/d/yy", settings), "3-5-24");
  EXPECT_EQ(FormatDate(kAfternoon, "h:nn am/pm", settings), "2:07 pm");
  EXPECT_EQ(FormatDate(1e7, "yyyy", settings), "");
  EXPECT_EQ(FormatDate(kAfternoon, "m/d/yy", testing::MonthDayYearSettings()), "3/5/24");
}

TEST(DateFormat, TheDefaultSettingsWriteAsTheCLocale) {
  const SRegionalSettings settings;
  EXPECT_EQ(FormatDate(kAfternoon, "c", settings), "03/05/24 14:07:09");
  EXPECT_EQ(FormatDate(kAfternoon, "dddddd", settings), "Tue Mar 5");
  EXPECT_EQ(FormatDate(kAfternoon, "t", settings), "14:07");
  EXPECT_EQ(FormatDate(kAfternoon, "ampm", settings), "PM");
}

}  // namespace
}  // namespace rulecalc
