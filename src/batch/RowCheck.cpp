#include "batch/RowCheck.h"

#include <cstdio>

namespace rulecalc::batch {

namespace {

// "the value of NAME cannot be converted to GBK at byte 5 (\xC3\x28): ..."
std::string UnconvertedValue(const std::string& name, const std::string& field, std::size_t badOffset,
                             const std::string& encoding) {
  std::string bytes;
  for (std::size_t i = badOffset; i < field.size() && i < badOffset + 4; ++i) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(field[i]));
    bytes += escaped;
  }
  return "the value of " + name + " cannot be converted to GBK at byte " + std::to_string(badOffset + 1) +
         " (" + bytes + "): it is not valid " + encoding + " or has a character neither GBK nor GB18030 has " +
         "(is the file in another encoding? --data-encoding names it)";
}

}  // namespace

std::string RowProblem(const SCsvRecord& record, const std::vector<SColumn>& columns, TTextCodec& codec,
                       std::vector<std::string>& gbkValues, std::vector<std::string>* unreadable) {
  if (unreadable) unreadable->assign(columns.size(), std::string());
  if (!record.Problem.empty()) return record.Problem;
  if (record.Fields.size() != columns.size()) {
    return "it has " + std::to_string(record.Fields.size()) + " fields where the header has " +
           std::to_string(columns.size());
  }
  if (codec.TryAllToGbk(record.Fields, gbkValues)) return {};
  std::size_t badOffset = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (codec.TryToGbkWidened(record.Fields[i], gbkValues[i], badOffset)) continue;
    const std::string& name = unreadable ? columns[i].GbkName : columns[i].Name;
    const std::string problem = UnconvertedValue(name, record.Fields[i], badOffset, codec.Encoding());
    if (!unreadable) return problem;
    (*unreadable)[i] = problem;
    gbkValues[i].clear();
  }
  return {};
}

}  // namespace rulecalc::batch
