// Regional settings from the process's locale environment (LC_ALL, LC_TIME,
// LC_NUMERIC, LANG), read through a locale object of its own: the process's
// global locale is never changed, and the calling thread's only while the
// texts are converted.

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/LangInfoSettings.h"
#include "platform/RegionalSettings.h"

namespace rulecalc {

namespace {

std::string LangInfo(nl_item item, locale_t locale) {
  const char* text = nl_langinfo_l(item, locale);
  return text != nullptr ? std::string(text) : std::string();
}

SLangInfo ReadLangInfo(locale_t locale) {
  static constexpr nl_item kMonths[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                          MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  static constexpr nl_item kShortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                               ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  static constexpr nl_item kDays[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  static constexpr nl_item kShortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};

  SLangInfo info;
  info.DateFormat = LangInfo(D_FMT, locale);
  info.DateTimeFormat = LangInfo(D_T_FMT, locale);
  info.TimeFormat = LangInfo(T_FMT, locale);
  info.TwelveHourFormat = LangInfo(T_FMT_AMPM, locale);
  for (std::size_t i = 0; i < 12; ++i) {
    info.MonthNames[i] = LangInfo(kMonths[i], locale);
    info.ShortMonthNames[i] = LangInfo(kShortMonths[i], locale);
  }
  for (std::size_t i = 0; i < 7; ++i) {
    info.DayNames[i] = LangInfo(kDays[i], locale);
    info.ShortDayNames[i] = LangInfo(kShortDays[i], locale);
  }
  info.AMString = LangInfo(AM_STR, locale);
  info.PMString = LangInfo(PM_STR, locale);
  info.Radix = LangInfo(RADIXCHAR, locale);
  return info;
}

// Text conversion from a codeset to GBK by one iconv descriptor.
class TIconv {
 public:
  TIconv(const char* to, const char* from) : Descriptor(iconv_open(to, from)) {}
  ~TIconv() {
    if (IsOpen()) iconv_close(Descriptor);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // False when the text does not convert whole.
  bool Convert(std::string_view text, std::string& out) {
    if (!IsOpen()) return false;
    iconv(Descriptor, nullptr, nullptr, nullptr, nullptr);
    std::string in(text);
    out.assign(text.size() * 4 + 8, '\0');  // room for transliterations that lengthen the text
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const auto failed = static_cast<std::size_t>(-1);
    if (iconv(Descriptor, &inPtr, &inLeft, &outPtr, &outLeft) == failed ||
        iconv(Descriptor, nullptr, nullptr, &outPtr, &outLeft) == failed) {
      out.clear();
      return false;
    }
    out.resize(out.size() - outLeft);
    return true;
  }

 private:
  bool IsOpen() const { return Descriptor != reinterpret_cast<iconv_t>(-1); }

  iconv_t Descriptor;
};

// Converts exactly when GBK has every character, else by the locale's
// transliteration (ö becomes o or oe); a text that would gain question marks
// does not convert.
class TGbkConverter {
 public:
  explicit TGbkConverter(const std::string& codeset)
      : Exact("GBK", codeset.c_str()), Approximate("GBK//TRANSLIT", codeset.c_str()) {}

  bool Convert(std::string_view text, std::string& gbk) {
    if (Exact.Convert(text, gbk)) return true;
    return Approximate.Convert(text, gbk) && QuestionMarks(gbk) == QuestionMarks(text);
  }

 private:
  static std::size_t QuestionMarks(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) count += c == '?' ? 1 : 0;
    return count;
  }

  TIconv Exact;
  TIconv Approximate;
};

// A locale object of its own, the "C" one when name cannot be loaded. While
// it lives it is also the calling thread's locale, because transliteration
// follows the thread's locale; the thread's own comes back afterwards.
class TLocale {
 public:
  explicit TLocale(const char* name) : Handle(newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0))) {
    if (!IsOpen()) Handle = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (IsOpen()) ThreadLocale = uselocale(Handle);
  }
  ~TLocale() {
    if (!IsOpen()) return;
    uselocale(ThreadLocale);
    freelocale(Handle);
  }
  TLocale(const TLocale&) = delete;
  TLocale& operator=(const TLocale&) = delete;

  bool IsOpen() const { return Handle != static_cast<locale_t>(0); }

  locale_t Handle;

 private:
  locale_t ThreadLocale = static_cast<locale_t>(0);
};

}  // namespace

// Opening and freeing a locale is done by one thread at a time: the C library
// shares loaded locale data between threads under a lock of its own that
// thread checkers cannot see; this lock makes the order visible to them and
// costs nothing next to loading a locale.
SRegionalSettings ReadLocaleRegionalSettings(const char* name) {
  static std::mutex localeLoading;
  const std::lock_guard<std::mutex> loading(localeLoading);
  TLocale locale(name);
  if (!locale.IsOpen()) return SRegionalSettings{};
  TGbkConverter converter(LangInfo(CODESET, locale.Handle));
  return SettingsFromLangInfo(ReadLangInfo(locale.Handle), [&converter](std::string_view text, std::string& gbk) {
    return converter.Convert(text, gbk);
  });
}

SRegionalSettings ReadHostRegionalSettings() { return ReadLocaleRegionalSettings(""); }

}  // namespace rulecalc
