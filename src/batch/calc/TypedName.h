#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "batch/calc/Variable.h"

namespace rulecalc::batch {

// A variable name with an optional type suffix: "AGE", "AGE:num", "NAME:text".
struct STypedName {
  std::string Name;
  std::optional<EMValueType> Type;  // absent when the type is to be inferred
};

// Splits off the suffix (":num" or ":text", letter case ignored) and trims
// blanks around the name. Throws TUsageError for an empty name or another suffix.
STypedName ParseTypedName(std::string_view written);

}  // namespace rulecalc::batch
