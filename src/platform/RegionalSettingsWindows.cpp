// Regional settings of the user's default locale, read with GetLocaleInfoA.
// Its texts come in the ANSI code page and are converted to GBK (code page
// 936) through UTF-16.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "platform/RegionalSettings.h"
#include "platform/WindowsPictures.h"

#ifndef LOCALE_SSHORTTIME
#define LOCALE_SSHORTTIME 0x00000079
#endif

namespace rulecalc {

namespace {

constexpr UINT kGbkCodePage = 936;

// The answer for one item; nothing when the locale has no answer.
bool ReadLocaleText(LCTYPE item, std::string& text) {
  char buffer[256] = {};
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, static_cast<int>(sizeof buffer));
  if (length <= 0) return false;
  text.assign(buffer, static_cast<std::size_t>(length - 1));
  return true;
}

// ANSI code page text in GBK; false when a character has no GBK form.
bool AnsiToGbk(const std::string& ansi, std::string& gbk) {
  gbk.clear();
  if (ansi.empty() || GetACP() == kGbkCodePage) {
    gbk = ansi;
    return true;
  }
  const int wideLength = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(),
                                             static_cast<int>(ansi.size()), nullptr, 0);
  if (wideLength <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), static_cast<int>(ansi.size()), &wide[0],
                      wideLength);
  BOOL usedDefault = FALSE;
  const int gbkLength =
      WideCharToMultiByte(kGbkCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, &usedDefault);
  if (gbkLength <= 0 || usedDefault) return false;
  gbk.assign(static_cast<std::size_t>(gbkLength), '\0');
  WideCharToMultiByte(kGbkCodePage, 0, wide.data(), wideLength, &gbk[0], gbkLength, nullptr, nullptr);
  return true;
}

// The item in GBK; empty when it cannot be read or converted.
std::string ReadGbk(LCTYPE item) {
  std::string ansi;
  std::string gbk;
  if (ReadLocaleText(item, ansi) && AnsiToGbk(ansi, gbk)) return gbk;
  return {};
}

std::optional<std::string> ReadDesignator(LCTYPE item) {
  std::string ansi;
  std::string gbk;
  if (ReadLocaleText(item, ansi) && AnsiToGbk(ansi, gbk)) return gbk;
  return std::nullopt;
}

SWindowsLocaleInfo ReadLocaleInfo() {
  SWindowsLocaleInfo info;
  info.ShortDate = ReadGbk(LOCALE_SSHORTDATE);
  info.LongDate = ReadGbk(LOCALE_SLONGDATE);
  info.LongTime = ReadGbk(LOCALE_STIMEFORMAT);
  info.ShortTime = ReadGbk(LOCALE_SSHORTTIME);
  info.DateSeparator = ReadGbk(LOCALE_SDATE);
  info.TimeSeparator = ReadGbk(LOCALE_STIME);
  info.Decimal = ReadGbk(LOCALE_SDECIMAL);
  for (LCTYPE i = 0; i < 12; ++i) {
    info.MonthNames[i] = ReadGbk(LOCALE_SMONTHNAME1 + i);
    info.ShortMonthNames[i] = ReadGbk(LOCALE_SABBREVMONTHNAME1 + i);
  }
  // Windows counts the weekdays from Monday (1) to Sunday (7).
  for (LCTYPE i = 0; i < 7; ++i) {
    const LCTYPE fromMonday = (i + 6) % 7;
    info.DayNames[i] = ReadGbk(LOCALE_SDAYNAME1 + fromMonday);
    info.ShortDayNames[i] = ReadGbk(LOCALE_SABBREVDAYNAME1 + fromMonday);
  }
  info.AMString = ReadDesignator(LOCALE_S1159);
  info.PMString = ReadDesignator(LOCALE_S2359);
  return info;
}

}  // namespace

SRegionalSettings ReadHostRegionalSettings() { return SettingsFromWindowsLocale(ReadLocaleInfo()); }

}  // namespace rulecalc
