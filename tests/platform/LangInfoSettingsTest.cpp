#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>

#include "platform/LangInfoSettings.h"
#include "support/TestCalc.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {
namespace {

using testing::Gbk;

// What glibc's "C" locale answers.
SLangInfo CLocale() {
  SLangInfo info;
  info.DateFormat = "%m/%d/%y";
  info.DateTimeFormat = "%a %b %e %H:%M:%S %Y";
  info.TimeFormat = "%H:%M:%S";
  info.TwelveHourFormat = "%I:%M:%S %p";
  info.MonthNames = {"January", "February", "March",     "April",   "May",      "June",
                     "July",    "August",   "September", "October", "November", "December"};
  info.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  info.DayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  info.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  info.AMString = "AM";
  info.PMString = "PM";
  info.Radix = ".";
  return info;
}

// UTF-8 to GBK, failing where GBK has no character.
bool Utf8ToGbk(std::string_view text, std::string& gbk) {
  try {
    gbk = Gbk(std::string(text));
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

SRegionalSettings Settings(const SLangInfo& info) { return SettingsFromLangInfo(info, Utf8ToGbk); }

// The settings of the C locale with one format changed.
SRegionalSettings WithDateFormat(const char* format) {
  SLangInfo info = CLocale();
  info.DateFormat = format;
  return Settings(info);
}

TEST(LangInfoSettings, TheCLocaleGivesTheDefaults) {
  const SRegionalSettings settings = Settings(CLocale());
  EXPECT_EQ(settings.ShortDateFormat, "mm/dd/yy");
  EXPECT_EQ(settings.LongDateFormat, "ddd mmm d");
  EXPECT_EQ(settings.ShortTimeFormat, "hh:nn");
  EXPECT_EQ(settings.LongTimeFormat, "hh:nn:ss");
  EXPECT_TRUE(settings == SRegionalSettings{});
}

struct SDateFormatCase {
  const char* DateFormat;     // D_FMT
  const char* ShortDate;      // in the format language (UTF-8 here)
  char Separator;
};

void PrintTo(const SDateFormatCase& c, std::ostream* out) { *out << c.DateFormat; }

class ShortDates : public ::testing::TestWithParam<SDateFormatCase> {};

TEST_P(ShortDates, TranslateIntoTheFormatLanguage) {
  const SRegionalSettings settings = WithDateFormat(GetParam().DateFormat);
  EXPECT_EQ(settings.ShortDateFormat, Gbk(GetParam().ShortDate));
  EXPECT_EQ(settings.DateSeparator, GetParam().Separator);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ShortDates,
    ::testing::Values(SDateFormatCase{"%Y-%m-%d", "yyyy/mm/dd", '-'}, SDateFormatCase{"%d.%m.%Y", "dd/mm/yyyy", '.'},
                      SDateFormatCase{"%m/%d/%y", "mm/dd/yy", '/'}, SDateFormatCase{"%e/%m/%y", "d/mm/yy", '/'},
                      SDateFormatCase{"%-d.%-m.%Y", "d/m/yyyy", '.'}, SDateFormatCase{"%D", "mm/dd/yy", '/'},
                      SDateFormatCase{"%F", "yyyy/mm/dd", '-'}, SDateFormatCase{"%d %b %Y", "dd mmm yyyy", '/'},
                      SDateFormatCase{"%A %d %B %Y", "dddd dd mmmm yyyy", '/'},
                      SDateFormatCase{"%a, %d.%m.%Y", "ddd/ dd.mm.yyyy", ','},
                      SDateFormatCase{"%Y年%m月%d日", "yyyy\"年\"mm\"月\"dd\"日\"", '/'},
                      SDateFormatCase{"%d de %B de %Y", "dd \"de\" mmmm \"de\" yyyy", '/'},
                      SDateFormatCase{"%Y.%m.%d.", "yyyy/mm/dd/", '.'},
                      SDateFormatCase{"%Ey-%m-%d", "yy/mm/dd", '-'}, SDateFormatCase{"%Od/%Om/%Y", "dd/mm/yyyy", '/'},
                      SDateFormatCase{"%d%e-%m", "dd''d/mm", '-'}, SDateFormatCase{"%Y-%m/%d", "yyyy/mm\"/\"dd", '-'},
                      SDateFormatCase{"%d-%m-%Y %%", "dd/mm/yyyy %", '-'},
                      SDateFormatCase{"%d'%m\"%Y", "dd/mm'\"'yyyy", '\''},
                      SDateFormatCase{"%C%y-%j-%d", "yy//dd", '-'}));

TEST(LangInfoSettings, ADateFormatWithoutConversionsKeepsTheDefaults) {
  for (const char* format : {"", "date", "%%", "%"}) {
    const SRegionalSettings settings = WithDateFormat(format);
    EXPECT_EQ(settings.ShortDateFormat, "mm/dd/yy") << format;
    EXPECT_EQ(settings.DateSeparator, '/') << format;
  }
}

struct SLongDateCase {
  const char* DateTimeFormat;  // D_T_FMT
  const char* LongDate;
};

void PrintTo(const SLongDateCase& c, std::ostream* out) { *out << c.DateTimeFormat; }

class LongDates : public ::testing::TestWithParam<SLongDateCase> {};

// Under a D_FMT of "%d.%m.%Y": its separator also marks long dates.
TEST_P(LongDates, AreTheDatePartOfTheDateAndTimeFormat) {
  SLangInfo info = CLocale();
  info.DateFormat = "%d.%m.%Y";
  info.DateTimeFormat = GetParam().DateTimeFormat;
  EXPECT_EQ(Settings(info).LongDateFormat, Gbk(GetParam().LongDate));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LongDates,
    ::testing::Values(SLongDateCase{"%a %e %b %Y %H:%M:%S", "ddd d mmm yyyy"},
                      SLongDateCase{"%a %d %b %Y %r %Z", "ddd dd mmm yyyy"},
                      SLongDateCase{"%A, %d. %B %Y, %T", "dddd, dd/ mmmm yyyy"},
                      SLongDateCase{"%Y年%m月%d日 %A %H时%M分%S秒", "yyyy\"年\"mm\"月\"dd\"日\" dddd"},
                      SLongDateCase{"%x %X", "dd/mm/yyyy"}, SLongDateCase{"%H:%M %d.%m.%Y", "dd/mm/yyyy"},
                      SLongDateCase{"", "dd/mm/yyyy"}, SLongDateCase{"%c", "dd/mm/yyyy"}));

struct STimeFormatCase {
  const char* TimeFormat;  // T_FMT
  const char* LongTime;
  const char* ShortTime;
  char Separator;
};

void PrintTo(const STimeFormatCase& c, std::ostream* out) { *out << c.TimeFormat; }

class Times : public ::testing::TestWithParam<STimeFormatCase> {};

TEST_P(Times, TranslateIntoTheFormatLanguage) {
  SLangInfo info = CLocale();
  info.TimeFormat = GetParam().TimeFormat;
  const SRegionalSettings settings = Settings(info);
  EXPECT_EQ(settings.LongTimeFormat, Gbk(GetParam().LongTime));
  EXPECT_EQ(settings.ShortTimeFormat, Gbk(GetParam().ShortTime));
  EXPECT_EQ(settings.TimeSeparator, GetParam().Separator);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Times,
    ::testing::Values(STimeFormatCase{"%H:%M:%S", "hh:nn:ss", "hh:nn", ':'},
                      STimeFormatCase{"%T", "hh:nn:ss", "hh:nn", ':'},
                      STimeFormatCase{"%R", "hh:nn", "hh:nn", ':'},
                      STimeFormatCase{"%r", "hh:nn:ss ampm", "hh:nn ampm", ':'},
                      STimeFormatCase{"%I:%M:%S %p", "hh:nn:ss ampm", "hh:nn ampm", ':'},
                      STimeFormatCase{"%p %I:%M:%S", "ampm hh:nn:ss", "ampm hh:nn", ':'},
                      STimeFormatCase{"%H.%M.%S", "hh:nn:ss", "hh:nn", '.'},
                      STimeFormatCase{"%k:%M", "h:nn", "h:nn", ':'},
                      STimeFormatCase{"%-H:%-M:%-S", "h:n:s", "h:n", ':'},
                      STimeFormatCase{"%H时%M分%S秒", "hh\"时\"nn\"分\"ss\"秒\"", "hh\"时\"nn\"分\"", ':'},
                      STimeFormatCase{"%Hh%Mm%Ss", "hh\"h\"nn\"m\"ss\"s\"", "hh\"h\"nn\"m\"", ':'},
                      STimeFormatCase{"%H:%M:%S %Z", "hh:nn:ss ", "hh:nn ", ':'},
                      STimeFormatCase{"%Z %I:%M:%S %p", " hh:nn:ss ampm", " hh:nn ampm", ':'},
                      STimeFormatCase{"kl. %H.%M %z", "\"kl\". hh.nn ", "\"kl\". hh.nn ", ':'}));

TEST(LangInfoSettings, TwelveHourTimesUseTheLocalesOwnFormat) {
  SLangInfo info = CLocale();
  info.TimeFormat = "%r";
  info.TwelveHourFormat = "%p %I时%M分%S秒";
  const SRegionalSettings settings = Settings(info);
  EXPECT_EQ(settings.LongTimeFormat, Gbk("ampm hh\"时\"nn\"分\"ss\"秒\""));
  EXPECT_EQ(settings.ShortTimeFormat, Gbk("ampm hh\"时\"nn\"分\""));
  info.TwelveHourFormat = "";
  EXPECT_EQ(Settings(info).LongTimeFormat, "hh:nn:ss ampm");
}

TEST(LangInfoSettings, NamesAndDesignatorsComeInGbk) {
  SLangInfo info = CLocale();
  info.DayNames = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
  info.ShortMonthNames = {"1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"};
  info.AMString = "上午";
  info.PMString = "下午";
  const SRegionalSettings settings = Settings(info);
  EXPECT_EQ(settings.LongDayNames[2], Gbk("星期二"));
  EXPECT_EQ(settings.ShortMonthNames[11], Gbk("12月"));
  EXPECT_EQ(settings.TimeAMString, Gbk("上午"));
  EXPECT_EQ(settings.TimePMString, Gbk("下午"));
  EXPECT_EQ(settings.LongMonthNames[0], "January");
  EXPECT_EQ(FormatDate(45356.6, "dddd mmm ampm", settings), Gbk("星期二 3月 下午"));
}

TEST(LangInfoSettings, NamesThatDoNotAllConvertStayEnglish) {
  SLangInfo info = CLocale();
  info.MonthNames = {"一月", "二月", "三月", "四月", "五月", "六月", "七月", "八月", "九月", "十月", "十一月", "ᚠ"};
  info.DayNames[3] = "";
  info.AMString = "ᚠ";
  info.PMString = "";
  const SRegionalSettings settings = Settings(info);
  EXPECT_EQ(settings.LongMonthNames, SRegionalSettings{}.LongMonthNames);
  EXPECT_EQ(settings.LongDayNames, SRegionalSettings{}.LongDayNames);
  EXPECT_EQ(settings.TimeAMString, "AM");
  EXPECT_EQ(settings.TimePMString, "");
}

TEST(LangInfoSettings, UnconvertibleLiteralTextKeepsItsAsciiPart) {
  EXPECT_EQ(WithDateFormat("%Y-%mᚠ-%d").ShortDateFormat, "yyyy/mm/dd");
}

TEST(LangInfoSettings, TheDecimalSeparatorIsAOneByteRadix) {
  SLangInfo info = CLocale();
  info.Radix = ",";
  EXPECT_EQ(Settings(info).DecimalSeparator, ',');
  info.Radix = "";
  EXPECT_EQ(Settings(info).DecimalSeparator, '.');
  info.Radix = "٫";
  EXPECT_EQ(Settings(info).DecimalSeparator, '.');
}

// The translated formats read and write dates as the locale does.
TEST(LangInfoSettings, TranslatedFormatsWorkForTodateAndTochar) {
  SLangInfo info = CLocale();
  info.DateFormat = "%Y年%m月%d日";
  info.DateTimeFormat = "%Y年%m月%d日 %A %H时%M分%S秒";
  info.TimeFormat = "%H时%M分%S秒";
  const SRegionalSettings chinese = Settings(info);
  const double afternoon = 45356.0 + 14.0 / 24.0 + 7.0 / 1440.0;
  EXPECT_EQ(FormatDate(afternoon, "c", chinese), Gbk("2024年03月05日 14时07分00秒"));
  EXPECT_EQ(TextToDate("2024/3/5", chinese, 2026), 45356);

  info = CLocale();
  info.DateFormat = "%d.%m.%Y";
  const SRegionalSettings german = Settings(info);
  EXPECT_EQ(FormatDate(afternoon, "ddddd", german), "05.03.2024");
  EXPECT_EQ(TextToDate("5.3.2024", german, 2026), 45356);
}

}  // namespace
}  // namespace rulecalc
