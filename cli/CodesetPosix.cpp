#include "Codeset.h"

#include <langinfo.h>

#include <clocale>

namespace rulecalc::cli {

namespace {

bool IsPlainAscii(const std::string& codeset) {
  return codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" || codeset == "US-ASCII";
}

std::string LocaleCodeset() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset ? codeset : "";
}

}  // namespace

void AdoptUserLocale() {
  std::setlocale(LC_ALL, "");
  if (IsPlainAscii(LocaleCodeset())) std::setlocale(LC_CTYPE, "C.UTF-8");
}

std::string OutsideEncoding(const std::string& requested) {
  if (!requested.empty()) return requested;
  const std::string codeset = LocaleCodeset();
  return IsPlainAscii(codeset) ? "UTF-8" : codeset;
}

}  // namespace rulecalc::cli
