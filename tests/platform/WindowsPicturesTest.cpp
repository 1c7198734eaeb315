#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/WindowsPictures.h"
#include "support/TestCalc.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {
namespace {

using testing::Gbk;

struct SPictureCase {
  const char* Picture;  // UTF-8 here, GBK when translated
  const char* Format;
};

void PrintTo(const SPictureCase& c, std::ostream* out) { *out << c.Picture; }

class DatePictures : public ::testing::TestWithParam<SPictureCase> {};

TEST_P(DatePictures, TranslateIntoTheFormatLanguage) {
  EXPECT_EQ(TranslatePicture(Gbk(GetParam().Picture), '.', '/'), Gbk(GetParam().Format));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DatePictures,
    ::testing::Values(SPictureCase{"d.M.yyyy", "d/m/yyyy"}, SPictureCase{"dd.MM.yy", "dd/mm/yy"},
                      SPictureCase{"dddd, d. MMMM yyyy", "dddd, d/ mmmm yyyy"}, SPictureCase{"ddd MMM", "ddd mmm"},
                      SPictureCase{"ddddd MMMMM", "dddd mmmm"}, SPictureCase{"y", "yy"}, SPictureCase{"yyy", "yyyy"},
                      SPictureCase{"yyyyy", "yyyy"}, SPictureCase{"gg yyyy", " yyyy"},
                      SPictureCase{"d 'de' MMMM 'de' yyyy", "d \"de\" mmmm \"de\" yyyy"},
                      SPictureCase{"yyyy'年'M'月'd'日'", "yyyy\"年\"m\"月\"d\"日\""},
                      SPictureCase{"yyyy年M月d日", "yyyy\"年\"m\"月\"d\"日\""},
                      SPictureCase{"dd''MM", "dd\"'\"mm"}, SPictureCase{"'it''s' d", "\"it's\" d"},
                      SPictureCase{"yyyy/MM/dd", "yyyy\"/\"mm\"/\"dd"}, SPictureCase{"'unclosed", "\"unclosed\""},
                      SPictureCase{"D Y", "\"D\" \"Y\""}, SPictureCase{"dd-MM", "dd-mm"}));

class TimePictures : public ::testing::TestWithParam<SPictureCase> {};

TEST_P(TimePictures, TranslateIntoTheFormatLanguage) {
  EXPECT_EQ(TranslatePicture(Gbk(GetParam().Picture), ':', ':'), Gbk(GetParam().Format));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, TimePictures,
    ::testing::Values(SPictureCase{"h:mm:ss tt", "h:nn:ss ampm"}, SPictureCase{"HH:mm:ss", "hh:nn:ss"},
                      SPictureCase{"H:m:s", "h:n:s"}, SPictureCase{"tt hh:mm", "ampm hh:nn"},
                      SPictureCase{"t h", "ampm h"}, SPictureCase{"HHH:mmm", "hh:nn"},
                      SPictureCase{"H时mm分ss秒", "h\"时\"nn\"分\"ss\"秒\""}));

class WithoutSeconds : public ::testing::TestWithParam<SPictureCase> {};

TEST_P(WithoutSeconds, DropTheSecondsAndTheirSeparator) {
  EXPECT_EQ(PictureWithoutSeconds(Gbk(GetParam().Picture)), Gbk(GetParam().Format));
}

INSTANTIATE_TEST_SUITE_P(Pictures, WithoutSeconds,
                         ::testing::Values(SPictureCase{"h:mm:ss tt", "h:mm tt"}, SPictureCase{"HH:mm:ss", "HH:mm"},
                                           SPictureCase{"HH.mm.s", "HH.mm"}, SPictureCase{"tt h:mm:ss", "tt h:mm"},
                                           SPictureCase{"H时mm分ss秒", "H时mm分"}, SPictureCase{"HH:mm", "HH:mm"},
                                           SPictureCase{"'s' H:mm:ss", "'s' H:mm"}, SPictureCase{"ss", ""}));

// As Windows gives the English (United States) locale.
SWindowsLocaleInfo UnitedStates() {
  SWindowsLocaleInfo info;
  info.ShortDate = "M/d/yyyy";
  info.LongDate = "dddd, MMMM d, yyyy";
  info.LongTime = "h:mm:ss tt";
  info.ShortTime = "h:mm tt";
  info.DateSeparator = "/";
  info.TimeSeparator = ":";
  info.Decimal = ".";
  info.AMString = "AM";
  info.PMString = "PM";
  return info;
}

TEST(WindowsLocale, PicturesBecomeFormats) {
  const SRegionalSettings settings = SettingsFromWindowsLocale(UnitedStates());
  EXPECT_EQ(settings.ShortDateFormat, "m/d/yyyy");
  EXPECT_EQ(settings.LongDateFormat, "dddd, mmmm d, yyyy");
  EXPECT_EQ(settings.LongTimeFormat, "h:nn:ss ampm");
  EXPECT_EQ(settings.ShortTimeFormat, "h:nn ampm");
  const double afternoon = 45356.0 + 14.0 / 24.0 + 7.0 / 1440.0;
  EXPECT_EQ(FormatDate(afternoon, "c", settings), "3/5/2024 2:07:00 PM");
  EXPECT_EQ(FormatDate(afternoon, "dddddd", settings), "Tuesday, March 5, 2024");
  EXPECT_EQ(TextToDate("3/5/2024", settings, 2026), 45356);
}

TEST(WindowsLocale, SeparatorsNamesAndDecimalComeFromTheLocale) {
  SWindowsLocaleInfo info = UnitedStates();
  info.ShortDate = "dd.MM.yyyy";
  info.ShortTime = "";
  info.LongTime = "HH:mm:ss";
  info.DateSeparator = ".";
  info.Decimal = ",";
  info.DayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  info.MonthNames = {"Januar", "Februar", "", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
                     "November", "Dezember"};
  info.AMString = "";
  info.PMString.reset();
  const SRegionalSettings settings = SettingsFromWindowsLocale(info);
  EXPECT_EQ(settings.ShortDateFormat, "dd/mm/yyyy");
  EXPECT_EQ(settings.DateSeparator, '.');
  EXPECT_EQ(settings.ShortTimeFormat, "hh:nn");
  EXPECT_EQ(settings.DecimalSeparator, ',');
  EXPECT_EQ(settings.LongDayNames[2], "Dienstag");
  // One month name could not be converted: all of them stay English.
  EXPECT_EQ(settings.LongMonthNames, SRegionalSettings{}.LongMonthNames);
  EXPECT_EQ(settings.TimeAMString, "");
  EXPECT_EQ(settings.TimePMString, "PM");
  EXPECT_EQ(TextToDate("5.3.2024", settings, 2026), 45356);
}

TEST(WindowsLocale, NothingReadKeepsTheDefaults) {
  EXPECT_TRUE(SettingsFromWindowsLocale(SWindowsLocaleInfo{}) == SRegionalSettings{});
}

}  // namespace
}  // namespace rulecalc
