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

  // Copies the first record of the same name into out; false when none.
  bool FindVar(std::string_view name, SVarStruct& out) const;

  void Clear() {
    Records.clear();
    Revisions.clear();
    ++Generation;
  }
  const std::vector<SVarStruct>& All() const { return Records; }

  // Changes whenever the record at index is stored, so readers can keep
  // what they derived from a value until the value changes.
  std::uint64_t Revision(std::size_t index) const { return Revisions[index]; }

  // Changes whenever the table is emptied: a record's index stays valid
  // while the generation does (records are never removed one by one, and a
  // name is never stored twice).
  std::uint64_t Generation = 1;

 private:
  std::vector<SVarStruct> Records;
  std::vector<std::uint64_t> Revisions;  // parallel to Records
  std::uint64_t NextRevision = 1;
};

}  // namespace rulecalc
