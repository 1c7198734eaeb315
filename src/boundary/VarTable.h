#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/TypeCode.h"

namespace rulecalc {

// The text that stands for a missing number: an empty numeric value is
// stored as this text, and NULL loads it in a numeric context.
inline constexpr const char* NullNumberText = "0.0000001";
// The number that a missing number loads as: the value of NullNumberText.
inline constexpr double NullNumber = 0.0000001;

// One variable as the host set it. Numeric values stay text until the engine
// loads them.
struct SVarStruct {
  std::int32_t Type = kNumberType;  // kNumberType, kTextType, or any other code as given
  std::string Name;
  std::string Value;
};

// The variables of the current rule, in order of first insertion. Names are
// compared with a-z folded to capitals; the table is meant for the handful
// of variables one sentence uses.
class TVarTable {
 public:
  // Inserts a record, or replaces type and value of the first record of the
  // same name (which keeps its place and its spelling).
  void SetVar(std::string_view name, std::string_view value, std::int32_t type);

  // The first record of the same name, or nullptr.
  const SVarStruct* Find(std::string_view name) const;

  // The index of the first record of the same name, inserting one with an
  // empty value of that type when there is none. An index stays the
  // record's until the table is emptied.
  std::size_t Bind(std::string_view name, std::int32_t type);
  std::size_t Size() const { return Records.size(); }
  // Replaces the value of the record at index as SetVar does, keeping its type.
  void SetText(std::size_t index, std::string_view value);
  // Replaces the value of the record at index by a finite number: readers
  // of numbers take it as it is, and its text (with that decimal
  // separator) is written only when something reads the value as text.
  void SetNumber(std::size_t index, double value, char decimalSeparator);
  // The number the record at index was last given by SetNumber; false when
  // its value was last given as text.
  bool HeldNumber(std::size_t index, double& value) const;
  // The value text of the record at index.
  const std::string& Text(std::size_t index) const;
  // The record at index as stored: its Value is stale while a number given
  // by SetNumber has no text yet (read it through Text).
  const SVarStruct& Stored(std::size_t index) const { return Records[index]; }

  // Copies the first record of the same name into out; false when none.
  bool FindVar(std::string_view name, SVarStruct& out) const;

  void Clear() {
    Records.clear();
    Revisions.clear();
    Numbers.clear();
    Unwritten = 0;
    ++Generation;
  }
  // Every record, each value text written.
  const std::vector<SVarStruct>& All() const;

  // Changes whenever the record at index is stored, so readers can keep
  // what they derived from a value until the value changes.
  std::uint64_t Revision(std::size_t index) const { return Revisions[index]; }

  // Changes whenever the table is emptied: a record's index stays valid
  // while the generation does (records are never removed one by one, and a
  // name is never stored twice).
  std::uint64_t Generation = 1;

 private:
  // A value given as a number, and whether its text is still to be written.
  struct SHeldNumber {
    bool Held = false;
    bool Unwritten = false;
    char DecimalSeparator = '.';
    double Value = 0.0;
  };
  void WriteText(std::size_t index) const;
  void Stamp(std::size_t index) { Revisions[index] = NextRevision++; }

  // Mutable: a number's text is written by the first reader that needs it.
  mutable std::vector<SVarStruct> Records;
  mutable std::vector<SHeldNumber> Numbers;  // parallel to Records
  mutable std::size_t Unwritten = 0;         // how many numbers have no text yet
  std::vector<std::uint64_t> Revisions;      // parallel to Records
  std::uint64_t NextRevision = 1;
};

}  // namespace rulecalc
