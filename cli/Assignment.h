#pragma once

#include <string>
#include <string_view>

#include "OutsideText.h"

namespace rulecalc::cli {

// A variable given on the command line: NAME=VALUE, NAME:num=VALUE or
// NAME:text=VALUE, in the outside encoding.
struct SAssignment {
  SNameAndType Name;
  std::string Value;
};

// Splits at the first "="; throws TUsageError when there is none or the name
// is bad (names and suffixes are read as a CSV header's are, by texts).
SAssignment ParseAssignment(std::string_view written, TOutsideText& texts);

}  // namespace rulecalc::cli
