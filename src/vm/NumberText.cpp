#include "vm/NumberText.h"

#include <charconv>
#include <cstddef>
#include <string>
#include <system_error>

namespace rulecalc {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t SkipBlanks(std::string_view text, std::size_t i) {
  while (i < text.size() && text[i] == ' ') ++i;
  return i;
}

std::size_t SkipDigits(std::string_view text, std::size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

// The parts of a number as written, located in the text.
struct SNumberParts {
  bool Negative = false;
  std::string_view Integer;
  std::string_view Fraction;
  std::string_view Exponent;  // sign and digits, without the E
};

bool SplitNumber(std::string_view text, char separator, SNumberParts& parts) {
  std::size_t i = SkipBlanks(text, 0);
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) parts.Negative = text[i++] == '-';
  std::size_t start = i;
  i = SkipDigits(text, i);
  parts.Integer = text.substr(start, i - start);
  if (i < text.size() && text[i] == separator) {
    start = ++i;
    i = SkipDigits(text, i);
    parts.Fraction = text.substr(start, i - start);
  }
  if (parts.Integer.empty() && parts.Fraction.empty()) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    start = ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digits = i;
    i = SkipDigits(text, i);
    if (i == digits) return false;
    parts.Exponent = text.substr(start, i - start);
  }
  return SkipBlanks(text, i) == text.size();
}

// Decimal exponent of the first significant digit, to tell an overflow from
// an underflow when the value does not fit a double.
long SignificantExponent(const SNumberParts& parts) {
  long exponent = 0;
  for (char c : parts.Exponent.substr(parts.Exponent.empty() || IsDigit(parts.Exponent[0]) ? 0 : 1)) {
    exponent = exponent * 10 + (c - '0');
    if (exponent > 100000) break;
  }
  if (!parts.Exponent.empty() && parts.Exponent[0] == '-') exponent = -exponent;
  const std::size_t firstNonZero = parts.Integer.find_first_not_of('0');
  if (firstNonZero != std::string_view::npos)
    return exponent + static_cast<long>(parts.Integer.size() - firstNonZero);
  const std::size_t inFraction = parts.Fraction.find_first_not_of('0');
  return exponent - static_cast<long>(inFraction == std::string_view::npos ? 0 : inFraction);
}

}  // namespace

bool ReadNumber(std::string_view text, char decimalSeparator, double& value) {
  SNumberParts parts;
  if (!SplitNumber(text, decimalSeparator, parts)) return false;
  std::string plain;
  plain.reserve(parts.Integer.size() + parts.Fraction.size() + parts.Exponent.size() + 4);
  plain.append(parts.Integer.empty() ? std::string_view("0") : parts.Integer);
  if (!parts.Fraction.empty()) plain.append(".").append(parts.Fraction);
  if (!parts.Exponent.empty()) plain.append("e").append(parts.Exponent);
  double magnitude = 0.0;
  const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), magnitude);
  if (result.ec == std::errc::result_out_of_range) {
    if (SignificantExponent(parts) > 0) return false;
    magnitude = 0.0;
  } else if (result.ec != std::errc() || result.ptr != plain.data() + plain.size()) {
    return false;
  }
  value = parts.Negative ? -magnitude : magnitude;
  return true;
}

}  // namespace rulecalc
