#include "batch/ColumnInference.h"

#include "calc/ValueKind.h"

namespace rulecalc::cli {

void ObserveRow(const std::vector<std::string>& gbkValues, std::vector<SColumn>& columns, char decimalSeparator) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    SColumn& column = columns[i];
    if (column.Declared || column.Type == vtText) continue;
    column.Type = InferValueType(gbkValues[i], decimalSeparator);
  }
}

}  // namespace rulecalc::cli
