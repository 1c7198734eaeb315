#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "batch/calc/TypedName.h"

#include "batch/ToolBridge.h"

namespace rulecalc::batch {

// A variable given on the command line: NAME=VALUE, NAME:num=VALUE or
// NAME:text=VALUE, in the outside encoding.
struct SAssignment {
  STypedName Name;
  std::string Value;
};

// Splits at the first "="; throws TUsageError when there is none or the name is bad.
SAssignment ParseAssignment(std::string_view written);

}  // namespace rulecalc::batch
