#include "support/TestCalc.h"

#include <iconv.h>

#include <stdexcept>

namespace rulecalc::testing {

SHostEnvironment FixedEnvironment() {
  SHostEnvironment env;
  env.FixedCurrentYear = 2026;
  return env;
}

std::unique_ptr<TRuleCalc> MakeCalc(SHostEnvironment environment) {
  return std::make_unique<TRuleCalc>(std::move(environment));
}

namespace {

std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  std::string out(text.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) throw std::runtime_error("iconv failed");
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::string Gbk(const std::string& utf8) { return Convert(utf8, "UTF-8", "GBK"); }
std::string Utf8(const std::string& gbk) { return Convert(gbk, "GBK", "UTF-8"); }

}  // namespace rulecalc::testing
