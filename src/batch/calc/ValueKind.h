#pragma once

#include <string_view>

#include "batch/calc/Variable.h"


namespace rulecalc::batch {

// The type a value gets when nobody says: numeric when it is empty or reads
// as a number the way the library reads numbers (with the given decimal
// separator), text otherwise.
EMValueType InferValueType(std::string_view value, char decimalSeparator);

}  // namespace rulecalc::batch
