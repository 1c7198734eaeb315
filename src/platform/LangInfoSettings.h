#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "platform/RegionalSettings.h"

namespace rulecalc {

// What a POSIX locale says about dates and numbers, as nl_langinfo gives it:
// strftime formats and names in the locale's own codeset.
struct SLangInfo {
  std::string DateFormat;          // D_FMT
  std::string DateTimeFormat;      // D_T_FMT
  std::string TimeFormat;          // T_FMT
  std::string TwelveHourFormat;    // T_FMT_AMPM, what %r stands for
  std::array<std::string, 12> MonthNames;       // MON_1 ..
  std::array<std::string, 12> ShortMonthNames;  // ABMON_1 ..
  std::array<std::string, 7> DayNames;          // DAY_1 (Sunday) ..
  std::array<std::string, 7> ShortDayNames;     // ABDAY_1 (Sunday) ..
  std::string AMString;            // AM_STR
  std::string PMString;            // PM_STR
  std::string Radix;               // RADIXCHAR
};

// Converts text from the locale's codeset to GBK; false when it cannot.
using TToGbk = std::function<bool(std::string_view text, std::string& gbk)>;

// The regional settings of a locale.
//  - Short date: D_FMT in the format language (%Y yyyy, %y yy, %m mm, %d dd,
//    %e d, %b mmm, %B mmmm, %a ddd, %A dddd; %D, %F and %x stand for what
//    they abbreviate; literal text is kept, quoted where it has letters or
//    double-byte characters). Its first literal character other than a
//    blank is the date separator when that is ASCII punctuation, else "/";
//    the separator is written as "/" in the format.
//  - Long date: D_T_FMT up to its first time conversion, or the short date
//    when that part has no conversion.
//  - Long time: T_FMT (%H and %I hh, %M nn, %S ss, %p ampm; %r, %T, %R and
//    %X stand for what they abbreviate); the time separator is found as the
//    date's, else ":". Short time: the same without the seconds.
//  - Names and designators converted to GBK; a set of names (months, short
//    months, weekdays, short weekdays) of which one does not convert keeps
//    its English defaults, and so does a designator. The decimal separator is RADIXCHAR when it
//    is one byte, else ".".
SRegionalSettings SettingsFromLangInfo(const SLangInfo& info, const TToGbk& toGbk);

// POSIX only: the settings of the locale named as setlocale takes it ("" is
// the process's locale environment), read with nl_langinfo_l and converted
// with iconv. A locale that cannot be loaded gives those of "C".
SRegionalSettings ReadLocaleRegionalSettings(const char* name);

}  // namespace rulecalc
