#include "vm/Builtins.h"

#include <cmath>
#include <cstdint>

#include "vm/Counts.h"
#include "vm/DateBuiltins.h"
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

// FINDSTR: byte offset of the first occurrence of $S1 in $S0 that starts on a
// character, or -1; nothing is found in an empty text. A match that begins on
// the second byte of a double-byte character (the bytes of 路 inside 下发) is
// no match, and the search goes on after it.
void FindText(SRegisters& r) {
  r.C0 = -1;
  if (r.S0.empty()) return;
  std::size_t character = 0;
  for (std::size_t found = r.S0.find(r.S1); found != std::string::npos; found = r.S0.find(r.S1, found + 1)) {
    while (character < found) character += StartsDoubleByte(static_cast<unsigned char>(r.S0[character])) ? 2 : 1;
    if (character == found) {
      r.C0 = static_cast<double>(found);
      return;
    }
  }
}

// NVL: a null number (or, for texts, the empty text) is replaced by the default.
void NullValue(SRegisters& r, std::uint8_t valueType) {
  if (valueType == kNumberType && r.C0 == NullNumber) r.C0 = r.C1;
  else if (valueType == kTextType && r.S0.empty()) r.S0 = r.S1;
}

}  // namespace

bool IsBuiltin(EMOpCode op) { return (op >= opLength && op <= opLastday) || op == opLg; }

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
    default: break;
  }
}

}  // namespace rulecalc
