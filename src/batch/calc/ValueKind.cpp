#include "batch/calc/ValueKind.h"

#include "vm/NumberText.h"

namespace rulecalc::batch {

EMValueType InferValueType(std::string_view value, char decimalSeparator) {
  double number = 0;
  if (value.empty() || ReadNumber(value, decimalSeparator, number)) return vtNumber;
  return vtText;
}

}  // namespace rulecalc::batch
