#include "boundary/VarTable.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "common/DoubleText.h"
#include "common/NameFold.h"

namespace rulecalc {

namespace {

std::string_view StoredText(std::string_view value, std::int32_t type) {
  return (type == kNumberType && value.empty()) ? std::string_view(NullNumberText) : value;
}

// A whole number as its digits, another as the shortest text that reads back
// as it, the null number as its own text.
std::string NumberAsText(double value, char decimalSeparator) {
  if (value == NullNumber) return NullNumberText;
  char buffer[64];
  const bool whole = std::fabs(value) < 1e15 && value == std::trunc(value);
  char* const written = whole ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value)).ptr
                             : ShortestDoubleText(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, written);
  for (char& c : text)
    if (c == '.') c = decimalSeparator;
  return text;
}

}  // namespace

void TVarTable::SetVar(std::string_view name, std::string_view value, std::int32_t type) {
  for (std::size_t i = 0; i < Records.size(); ++i) {
    if (SameName(Records[i].Name, name)) {
      // The value first: if copying it runs out of memory, the record stays as it was.
      Records[i].Value.assign(StoredText(value, type));
      Records[i].Type = type;
      if (Numbers[i].Unwritten) --Unwritten;
      Numbers[i] = SHeldNumber{};
      Stamp(i);
      return;
    }
  }
  Revisions.reserve(Records.size() + 1);
  Numbers.reserve(Records.size() + 1);
  Records.push_back(SVarStruct{type, std::string(name), std::string(StoredText(value, type))});
  Revisions.push_back(NextRevision++);  // cannot throw: capacity reserved
  Numbers.emplace_back();
}

std::size_t TVarTable::Bind(std::string_view name, std::int32_t type) {
  if (const SVarStruct* found = Find(name)) return static_cast<std::size_t>(found - Records.data());
  SetVar(name, "", type);
  return Records.size() - 1;
}

void TVarTable::SetText(std::size_t index, std::string_view value) {
  Records[index].Value.assign(StoredText(value, Records[index].Type));
  if (Numbers[index].Unwritten) --Unwritten;
  Numbers[index] = SHeldNumber{};
  Stamp(index);
}

void TVarTable::SetNumber(std::size_t index, double value, char decimalSeparator) {
  if (!Numbers[index].Unwritten) ++Unwritten;
  Numbers[index] = SHeldNumber{true, true, decimalSeparator, value};
  Stamp(index);
}

bool TVarTable::HeldNumber(std::size_t index, double& value) const {
  if (!Numbers[index].Held) return false;
  value = Numbers[index].Value;
  return true;
}

void TVarTable::WriteText(std::size_t index) const {
  SHeldNumber& number = Numbers[index];
  if (!number.Unwritten) return;
  Records[index].Value = NumberAsText(number.Value, number.DecimalSeparator);
  number.Unwritten = false;
  --Unwritten;
}

const std::string& TVarTable::Text(std::size_t index) const {
  WriteText(index);
  return Records[index].Value;
}

const std::vector<SVarStruct>& TVarTable::All() const {
  for (std::size_t i = 0; Unwritten > 0 && i < Records.size(); ++i) WriteText(i);
  return Records;
}

const SVarStruct* TVarTable::Find(std::string_view name) const {
  for (std::size_t i = 0; i < Records.size(); ++i) {
    if (!SameName(Records[i].Name, name)) continue;
    WriteText(i);
    return &Records[i];
  }
  return nullptr;
}

bool TVarTable::FindVar(std::string_view name, SVarStruct& out) const {
  const SVarStruct* found = Find(name);
  if (found == nullptr) return false;
  out = *found;
  return true;
}

}  // namespace rulecalc
