#pragma once

#include <string_view>

namespace rulecalc {

// Reads a decimal number: optional blanks, an optional sign, digits with an
// optional decimal separator and fraction (at least one digit in all), an
// optional exponent (E or e, optional sign, digits), optional blanks.
// Returns false for anything else, the empty text included, and for a value
// too large for a double; a value too small becomes zero.
bool ReadNumber(std::string_view text, char decimalSeparator, double& value);

}  // namespace rulecalc
