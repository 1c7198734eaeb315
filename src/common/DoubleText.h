// Doubles to and from text as std::to_chars and std::from_chars write and
// read them, for every standard library: where the library has no
// floating-point conversions of its own (the WebAssembly one), the same
// texts are made from printf's digits and read by strtod.
#ifndef RULECALC_COMMON_DOUBLETEXT_H
#define RULECALC_COMMON_DOUBLETEXT_H

#include <cerrno>
#include <charconv>
#include <string_view>

#if !defined(__cpp_lib_to_chars)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#endif

namespace rulecalc {

#if defined(__cpp_lib_to_chars)

// The shortest text that reads back as value, fixed or scientific, whichever
// is shorter. Returns the end of the text written at first.
inline char* ShortestDoubleText(char* first, char* last, double value) {
  return std::to_chars(first, last, value).ptr;
}

// The shortest scientific text that reads back as value ("2.675e+00").
inline char* ScientificDoubleText(char* first, char* last, double value) {
  return std::to_chars(first, last, value, std::chars_format::scientific).ptr;
}

// Reads the whole of text ("-12.5", "125e-1") as from_chars does: 0 when it
// read it, ERANGE when it is beyond a double, EINVAL when it is no number.
inline int ReadDoubleText(std::string_view text, double& value) {
  const char* end = text.data() + text.size();
  const auto read = std::from_chars(text.data(), end, value);
  if (read.ec == std::errc::result_out_of_range) return ERANGE;
  return (read.ec == std::errc() && read.ptr == end) ? 0 : EINVAL;
}

#else

namespace doubletext {

// The shortest digits that read back as magnitude, and the power of ten of
// the first one.
inline void ShortestDigits(double magnitude, std::string& digits, int& exponent) {
  char buffer[64];
  for (int precision = 0; precision < 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision, magnitude);
    if (std::strtod(buffer, nullptr) == magnitude) break;
  }
  const std::string text(buffer);
  const std::size_t e = text.find('e');
  digits.clear();
  for (char c : text.substr(0, e))
    if (c != '.') digits += c;
  exponent = std::atoi(text.c_str() + e + 1);
}

inline std::string Scientific(const std::string& digits, int exponent) {
  std::string text(1, digits[0]);
  if (digits.size() > 1) text += "." + digits.substr(1);
  const int size = exponent < 0 ? -exponent : exponent;
  text += exponent < 0 ? "e-" : "e+";
  if (size < 10) text += '0';
  return text + std::to_string(size);
}

// A whole number in fixed notation is written exactly, every digit of the
// double, as to_chars writes it; others by their shortest digits.
inline std::string Fixed(double magnitude, const std::string& digits, int exponent) {
  const int count = static_cast<int>(digits.size());
  if (exponent < 0) return "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  if (exponent >= count - 1) {
    char whole[320];
    std::snprintf(whole, sizeof whole, "%.0f", magnitude);
    return whole;
  }
  return digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
         digits.substr(static_cast<std::size_t>(exponent + 1));
}

inline char* Copy(const std::string& text, char* first, char* last) {
  if (text.size() > static_cast<std::size_t>(last - first)) return first;
  return std::copy(text.begin(), text.end(), first);
}

inline bool Special(double value, std::string& text) {
  if (value != value) text = "nan";
  else if (value == 0.0) text = std::signbit(value) ? "-0" : "0";
  else if (value - value != 0.0) text = value < 0 ? "-inf" : "inf";
  else return false;
  return true;
}

// [-]digits[.digits][(e|E)[+|-]digits], the form from_chars reads.
inline bool DecimalForm(std::string_view text) {
  std::size_t i = 0, digits = 0;
  auto skipDigits = [&] {
    std::size_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++n;
    return n;
  };
  if (i < text.size() && text[i] == '-') ++i;
  digits = skipDigits();
  if (i < text.size() && text[i] == '.') ++i, digits += skipDigits();
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (skipDigits() == 0) return false;
  }
  return i == text.size();
}

}  // namespace doubletext

inline char* ShortestDoubleText(char* first, char* last, double value) {
  std::string text;
  if (!doubletext::Special(value, text)) {
    std::string digits;
    int exponent = 0;
    doubletext::ShortestDigits(value < 0 ? -value : value, digits, exponent);
    const std::string fixed = doubletext::Fixed(value < 0 ? -value : value, digits, exponent);
    const std::string scientific = doubletext::Scientific(digits, exponent);
    text = (value < 0 ? "-" : "") + (scientific.size() < fixed.size() ? scientific : fixed);
  }
  return doubletext::Copy(text, first, last);
}

inline char* ScientificDoubleText(char* first, char* last, double value) {
  std::string text;
  if (!doubletext::Special(value, text)) {
    std::string digits;
    int exponent = 0;
    doubletext::ShortestDigits(value < 0 ? -value : value, digits, exponent);
    text = (value < 0 ? "-" : "") + doubletext::Scientific(digits, exponent);
  }
  return doubletext::Copy(text, first, last);
}

inline int ReadDoubleText(std::string_view text, double& value) {
  if (!doubletext::DecimalForm(text)) return EINVAL;
  const std::string copy(text);
  errno = 0;
  const double read = std::strtod(copy.c_str(), nullptr);
  if (errno == ERANGE) return ERANGE;
  value = read;
  return 0;
}

#endif

}  // namespace rulecalc

#endif
