#include "batch/Columns.h"

#include <algorithm>
#include <string_view>

#include "Failures.h"
#include "calc/TypedName.h"

namespace rulecalc::cli {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string FoldedName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

void RefuseRepeatedNames(const std::vector<SColumn>& columns) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (FoldedName(columns[i].GbkName) == FoldedName(columns[j].GbkName)) {
        throw TUsageError("the header names the column '" + columns[i].Name + "' twice");
      }
    }
  }
}

}  // namespace

std::vector<SColumn> ColumnsOfHeader(const SCsvRecord& header, TTextCodec& codec) {
  if (!header.Problem.empty()) throw TUsageError("the header of the data file is malformed: " + header.Problem);
  std::vector<SColumn> columns;
  for (std::string_view written : header.Fields) {
    if (columns.empty() && written.substr(0, kUtf8Bom.size()) == kUtf8Bom) written.remove_prefix(kUtf8Bom.size());
    const STypedName typed = ParseTypedName(written);
    SColumn column;
    column.Name = typed.Name;
    column.GbkName = codec.ToGbk(typed.Name, "the column name '" + typed.Name + "'");
    column.Declared = typed.Type;
    column.Type = typed.Type.value_or(vtNumber);
    columns.push_back(std::move(column));
  }
  RefuseRepeatedNames(columns);
  return columns;
}

bool AllDeclared(const std::vector<SColumn>& columns) {
  return std::all_of(columns.begin(), columns.end(), [](const SColumn& c) { return c.Declared.has_value(); });
}

}  // namespace rulecalc::cli
