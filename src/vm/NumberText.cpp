#include "vm/NumberText.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "common/DoubleText.h"

namespace rulecalc {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Every power of ten that a double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

bool IsDigits(std::string_view text) {
  for (char c : text)
    if (!IsDigit(c)) return false;
  return true;
}

// The value of a written exponent (sign and digits), held within +-100000.
long WrittenExponent(std::string_view exponent) {
  long value = 0;
  for (char c : exponent) {
    if (!IsDigit(c)) continue;
    value = value * 10 + (c - '0');
    if (value > 100000) break;
  }
  return !exponent.empty() && exponent[0] == '-' ? -value : value;
}

// Decimal exponent of the first significant digit, to tell an overflow from
// an underflow when the value does not fit a double.
long SignificantExponent(const SNumberParts& parts) {
  const long exponent = WrittenExponent(parts.Exponent);
  const std::size_t firstNonZero = parts.Integer.find_first_not_of('0');
  if (firstNonZero != std::string_view::npos)
    return exponent + static_cast<long>(parts.Integer.size() - firstNonZero);
  const std::size_t inFraction = parts.Fraction.find_first_not_of('0');
  return exponent - static_cast<long>(inFraction == std::string_view::npos ? 0 : inFraction);
}

// Digits and a power of ten small enough for one exact multiplication or
// division (at most 15 significant digits, a power up to 22): the result is
// then correctly rounded, exactly as the full reader would give it.
bool ReadShortNumber(const SNumberParts& parts, double& magnitude) {
  std::uint64_t mantissa = 0;
  int significant = 0;
  for (std::string_view digits : {parts.Integer, parts.Fraction}) {
    for (char c : digits) {
      if (significant > 0 || c != '0') ++significant;
      if (significant > 15) return false;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
    }
  }
  const long exponent = WrittenExponent(parts.Exponent) - static_cast<long>(parts.Fraction.size());
  if (mantissa == 0) {
    magnitude = 0.0;
    return true;
  }
  if (exponent < -22 || exponent > 22) return false;
  const auto m = static_cast<double>(mantissa);
  magnitude = exponent < 0 ? m / kPowersOfTen[-exponent] : m * kPowersOfTen[exponent];
  return true;
}

// The usual shape, digits with an optional separator and fraction (no sign,
// no blanks, no exponent), read without splitting the text further. Any
// other text is left to the full reader.
bool ReadPlainDecimal(std::string_view text, char separator, double& value) {
  SNumberParts parts;
  const std::size_t point = text.find(separator);
  parts.Integer = text.substr(0, point);
  if (point != std::string_view::npos) parts.Fraction = text.substr(point + 1);
  if (parts.Integer.empty() && parts.Fraction.empty()) return false;
  return IsDigits(parts.Integer) && IsDigits(parts.Fraction) && ReadShortNumber(parts, value);
}

// The number in the plain form the standard reader takes: digits, ".",
// digits, "e", exponent; no sign, no blanks.
std::string PlainNumber(const SNumberParts& parts) {
  std::string plain(parts.Integer.empty() ? std::string_view("0") : parts.Integer);
  if (!parts.Fraction.empty()) plain.append(".").append(parts.Fraction);
  if (!parts.Exponent.empty()) plain.append("e").append(parts.Exponent);
  return plain;
}

// At most fifteen digits with at most one separator among or around them
// (the values hosts set most): read in one pass. Every digit fits the
// mantissa and the power is at most 15, so this is ReadShortNumber's result.
bool ReadFewDigits(std::string_view text, char separator, double& value) {
  constexpr std::size_t kMostDigits = 15;
  if (text.empty() || text.size() > kMostDigits + 1) return false;
  std::uint64_t mantissa = 0;
  std::size_t digits = 0, fractionDigits = 0;
  bool separatorSeen = false;
  for (const char c : text) {
    if (IsDigit(c)) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      ++digits;
      fractionDigits += separatorSeen ? 1 : 0;
    } else if (c == separator && !separatorSeen) {
      separatorSeen = true;
    } else {
      return false;
    }
  }
  if (digits == 0 || digits > kMostDigits) return false;
  value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
  return true;
}

}  // namespace

bool ReadNumber(std::string_view text, char decimalSeparator, double& value) {
  if (ReadFewDigits(text, decimalSeparator, value)) return true;
  if (ReadPlainDecimal(text, decimalSeparator, value)) return true;
  SNumberParts parts;
  if (!SplitNumber(text, decimalSeparator, parts)) return false;
  double magnitude = 0.0;
  if (ReadShortNumber(parts, magnitude)) {
    value = parts.Negative ? -magnitude : magnitude;
    return true;
  }
  // Long or large numbers: the standard reader.
  const std::string plain = PlainNumber(parts);
  const int read = ReadDoubleText(plain, magnitude);
  if (read == ERANGE) {
    if (SignificantExponent(parts) > 0) return false;
    magnitude = 0.0;
  } else if (read != 0) {
    return false;
  }
  value = parts.Negative ? -magnitude : magnitude;
  return true;
}

}  // namespace rulecalc
