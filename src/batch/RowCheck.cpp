#include "batch/RowCheck.h"

namespace rulecalc::batch {

std::string RowProblem(const SCsvRecord& record, const std::vector<SColumn>& columns, TTextCodec& codec,
                       std::vector<std::string>& gbkValues) {
  if (!record.Problem.empty()) return record.Problem;
  if (record.Fields.size() != columns.size()) {
    return "it has " + std::to_string(record.Fields.size()) + " fields where the header has " +
           std::to_string(columns.size());
  }
  if (codec.TryAllToGbk(record.Fields, gbkValues)) return {};
  std::size_t badOffset = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!codec.TryToGbk(record.Fields[i], gbkValues[i], badOffset)) {
      return "the value of " + columns[i].Name + " cannot be converted to GBK at byte " +
             std::to_string(badOffset + 1) + ": it is not valid " + codec.Encoding() + " or has a character GBK lacks (is the file in another "
             "encoding? --data-encoding names it)";
    }
  }
  return {};
}

}  // namespace rulecalc::batch
