#include <windows.h>

#include <clocale>
#include <string>

#include "Codeset.h"

namespace rulecalc::cli {

namespace {

// The name the tool's conversions know a code page by.
std::string NameOfCodePage(UINT page) {
  switch (page) {
    case 65001:
      return "UTF-8";
    case 936:
      return "GBK";
    case 54936:
      return "GB18030";
    default:
      return "CP" + std::to_string(page);
  }
}

}  // namespace

// The C library's locale for messages of its own; dates and numbers come
// from the user's regional settings through the library.
void AdoptUserLocale() { std::setlocale(LC_ALL, ""); }

// The console's code page when there is a console, else the system's ANSI
// code page (the one files and pipes are written in).
std::string OutsideEncoding(const std::string& requested) {
  if (!requested.empty()) return requested;
  const UINT console = GetConsoleOutputCP();
  return NameOfCodePage(console != 0 ? console : GetACP());
}

}  // namespace rulecalc::cli
