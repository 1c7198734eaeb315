#pragma once

#include <cstdint>
#include <string>


namespace rulecalc::batch {

// The library's type codes for a variable.
enum EMValueType : std::int32_t {
  vtNumber = 0,  // numbers and dates; an empty value is the null number
  vtText = 1,
};

// One variable as the library receives it: GBK name and value, type code.
struct SVariable {
  std::string Name;
  std::string Value;
  EMValueType Type = vtNumber;
};

}  // namespace rulecalc::batch
