#include "vm/Builtins.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "common/DoubleText.h"
#include "vm/Counts.h"
#include "vm/DateBuiltins.h"
#include "vm/NumberText.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

namespace {

// SUBSTR: from the 0-based byte offset, at most count bytes (a negative or
// too large count takes the rest). A start outside the text gives "".
void Substring(SRegisters& r) {
  const std::int64_t start = TruncateCount(r.C0);
  const std::int64_t count = TruncateCount(r.C1);
  const auto length = static_cast<std::int64_t>(r.S0.size());
  if (start < 0 || start >= length) {
    r.S0.clear();
    return;
  }
  const std::int64_t rest = length - start;
  const std::int64_t taken = (count < 0 || count > rest) ? rest : count;
  r.S0.erase(static_cast<std::size_t>(start + taken));
  r.S0.erase(0, static_cast<std::size_t>(start));
}

// True when a GBK byte starts a two-byte character.
bool StartsDoubleByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// The bytes of the character at offset i: two for a lead byte with a byte
// after it, else one (a lone lead byte at the end is a character of its own).
std::size_t CharacterSize(std::string_view text, std::size_t i) {
  return StartsDoubleByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The byte offset where the character numbered count starts, or the length
// of the text when it has no more characters.
std::size_t OffsetOfCharacter(std::string_view text, std::int64_t count) {
  std::size_t i = 0;
  for (; count > 0 && i < text.size(); --count) i += CharacterSize(text, i);
  return i;
}

std::int64_t CountCharacters(std::string_view text) {
  std::int64_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += CharacterSize(text, i)) ++count;
  return count;
}

// A match of a part in a text: where it starts in bytes and in characters.
struct SMatch {
  std::size_t Offset = 0;
  std::int64_t Character = 0;
};

// The first occurrence of part at or after from (a character start,
// character number fromCharacter) that starts on a character; nothing is
// found in an empty text. A match that begins on the second byte of a
// double-byte character (the bytes of 路 inside 下发) is no match, and the
// search goes on after it.
std::optional<SMatch> FindOnCharacter(std::string_view text, std::string_view part, SMatch from = {}) {
  if (text.empty()) return std::nullopt;
  SMatch at = from;
  for (std::size_t found = text.find(part, from.Offset); found != std::string_view::npos;
       found = text.find(part, found + 1)) {
    for (; at.Offset < found; ++at.Character) at.Offset += CharacterSize(text, at.Offset);
    if (at.Offset == found) return at;
  }
  return std::nullopt;
}

// FINDSTR: byte offset of the first occurrence of $S1 in $S0 that starts on
// a character, or -1.
void FindText(SRegisters& r) {
  const std::optional<SMatch> match = FindOnCharacter(r.S0, r.S1);
  r.C0 = match ? static_cast<double>(match->Offset) : -1.0;
}

// FINDSTRC: as FINDSTR, counting characters.
void FindCharacters(SRegisters& r) {
  const std::optional<SMatch> match = FindOnCharacter(r.S0, r.S1);
  r.C0 = match ? static_cast<double>(match->Character) : -1.0;
}

// SUBSTRC: as SUBSTR, with the start and the count in characters.
void SubstringOfCharacters(SRegisters& r) {
  const std::int64_t start = TruncateCount(r.C0);
  const std::int64_t count = TruncateCount(r.C1);
  const std::size_t from = OffsetOfCharacter(r.S0, start);
  if (start < 0 || from >= r.S0.size()) {
    r.S0.clear();
    return;
  }
  const std::string_view rest = std::string_view(r.S0).substr(from);
  const std::size_t taken = count < 0 ? rest.size() : OffsetOfCharacter(rest, count);
  r.S0 = std::string(rest.substr(0, taken));
}

// REPLACE: every occurrence of $RS that starts on a character, left to
// right, without overlaps, becomes $S1; an empty $RS changes nothing.
void ReplaceText(SRegisters& r) {
  if (r.RS.empty()) return;
  const std::string_view text = r.S0;
  std::string result;
  std::size_t copied = 0;
  for (std::optional<SMatch> match = FindOnCharacter(text, r.RS); match;
       match = FindOnCharacter(text, r.RS, *match)) {
    result.append(text, copied, match->Offset - copied).append(r.S1);
    copied = match->Offset + r.RS.size();
    match->Offset = copied;
  }
  result.append(text, copied);
  r.S0 = std::move(result);
}
// A blank TRIM takes away: space, tab, CR, LF, or the full-width space.
bool IsBlankCharacter(std::string_view text, std::size_t i, std::size_t size) {
  if (size == 2) return text[i] == '\xA1' && text[i + 1] == '\xA1';
  const char c = text[i];
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// TRIM: $S0 without the blanks at either end, walked a character at a time
// so that no blank is seen inside a double-byte character.
void TrimText(SRegisters& r) {
  const std::string_view text = r.S0;
  std::size_t first = text.size();
  std::size_t end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t size = CharacterSize(text, i);
    if (!IsBlankCharacter(text, i, size)) {
      if (first == text.size()) first = i;
      end = i + size;
    }
    i += size;
  }
  r.S0 = first < end ? std::string(text.substr(first, end - first)) : std::string();
}

// UPPER and LOWER: the ASCII letters change case; a double-byte character
// stays whole, though its second byte may be a letter.
void ChangeCase(std::string& text, bool upper) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t size = CharacterSize(text, i);
    char& c = text[i];
    if (size == 1 && upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (size == 1 && !upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    i += size;
  }
}

// TONUMBER: the number $S0 reads as, read as a numeric variable's value is;
// any other text, the empty one included, gives the null number.
double TextToNumber(const std::string& text, char decimalSeparator) {
  double value = 0.0;
  return ReadNumber(text, decimalSeparator, value) ? value : NullNumber;
}

// The digits of the shortest decimal that reads back as a number, and the
// power of ten of the first digit: 2.675 is "2675" and 0.
struct SDecimal {
  std::string Digits;
  std::int64_t Exponent = 0;
};

SDecimal ShortestDecimal(double magnitude) {
  char buffer[64];
  const char* written = ScientificDoubleText(buffer, buffer + sizeof buffer, magnitude);
  const std::string_view text(buffer, static_cast<std::size_t>(written - buffer));
  const std::size_t e = text.find('e');
  SDecimal decimal;
  for (char c : text.substr(0, e))
    if (c != '.') decimal.Digits += c;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), decimal.Exponent);
  return decimal;
}

// Adds one to a string of decimal digits.
void Increment(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// ROUND: half away from zero at the given decimal (tens, hundreds for
// negative ones), on the number as it reads in decimals, so that 2.675
// rounds to 2.68 although its double lies a little below it. The null
// number stays null, so that an empty cell stays empty.
double RoundNumber(double value, double digitsValue) {
  if (value == NullNumber || value == 0.0 || !std::isfinite(value)) return value;
  const std::int64_t digits = TruncateCount(digitsValue);
  const SDecimal decimal = ShortestDecimal(std::abs(value));
  const std::int64_t kept = decimal.Exponent + 1 + digits;
  if (kept >= static_cast<std::int64_t>(decimal.Digits.size())) return value;
  if (kept < 0) return 0.0;
  std::string rounded = decimal.Digits.substr(0, static_cast<std::size_t>(kept));
  if (rounded.empty()) rounded = "0";
  if (decimal.Digits[static_cast<std::size_t>(kept)] >= '5') Increment(rounded);
  rounded += "e" + std::to_string(-digits);
  double result = 0.0;
  if (ReadDoubleText(rounded, result) == ERANGE) result = HUGE_VAL;  // rounded up beyond the largest double
  return result == 0.0 ? 0.0 : std::copysign(result, value);
}

// MOD: a - b*floor(a/b), which has the sign of b; a null operand counts as
// 0, and b = 0 gives 0 as a division by zero does.
double Modulo(double a, double b) {
  if (a == NullNumber) a = 0.0;
  if (b == NullNumber) b = 0.0;
  if (b == 0.0) return 0.0;
  return a - b * std::floor(a / b);
}

// NVL: a null number (or, for texts, the empty text) is replaced by the default.
void NullValue(SRegisters& r, std::uint8_t valueType) {
  if (valueType == kNumberType && r.C0 == NullNumber) r.C0 = r.C1;
  else if (valueType == kTextType && r.S0.empty()) r.S0 = r.S1;
}

}  // namespace

bool IsBuiltin(EMOpCode op) {
  return (op >= opLength && op <= opLastday) || op == opLg || (op >= opTrim && op <= opFindstrc);
}

void ExecuteBuiltin(EMOpCode op, std::uint8_t valueType, SRegisters& r, const SHostEnvironment& env) {
  switch (op) {
    case opLength: r.C0 = static_cast<double>(r.S0.size()); break;
    case opSubstr: Substring(r); break;
    case opFindstr: FindText(r); break;
    case opNvl: NullValue(r, valueType); break;
    case opLg: r.C0 = std::log10(r.C0); break;
    case opTodate: r.C0 = TextToDate(r.S0, env.Settings, env.CurrentYear()); break;
    case opTochar: r.S0 = FormatDate(r.C0, r.S0, env.Settings); break;
    case opAddyears: r.C0 = AddYearsToDate(r.C0, r.C1); break;
    case opAddmonths: r.C0 = AddMonthsToDate(r.C0, r.C1); break;
    case opAdddays: r.C0 = AddDaysToDate(r.C0, r.C1); break;
    case opYear: r.C0 = YearOfDate(r.C0); break;
    case opMonth: r.C0 = MonthOfDate(r.C0); break;
    case opDay: r.C0 = DayOfDate(r.C0); break;
    case opLastday: r.C0 = DaysInMonthOfDate(r.C0); break;
    case opTrim: TrimText(r); break;
    case opUpper: ChangeCase(r.S0, true); break;
    case opLower: ChangeCase(r.S0, false); break;
    case opReplace: ReplaceText(r); break;
    case opTonumber: r.C0 = TextToNumber(r.S0, env.Settings.DecimalSeparator); break;
    case opRound: r.C0 = RoundNumber(r.C0, r.C1); break;
    case opAbs: r.C0 = std::abs(r.C0); break;
    case opMod: r.C0 = Modulo(r.C0, r.C1); break;
    case opLengthc: r.C0 = static_cast<double>(CountCharacters(r.S0)); break;
    case opSubstrc: SubstringOfCharacters(r); break;
    case opFindstrc: FindCharacters(r); break;
    default: break;
  }
}

}  // namespace rulecalc
