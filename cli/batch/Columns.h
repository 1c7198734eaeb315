#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/CsvReader.h"
#include "calc/Variable.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

// One column of the data file: a variable of every rule.
struct SColumn {
  std::string Name;                     // as written in the header, without the type suffix
  std::string GbkName;                  // the same, for the library
  std::optional<EMValueType> Declared;  // from a ":num" or ":text" suffix
  EMValueType Type = vtNumber;          // declared, or inferred from the values
};

// The columns named by the header record (a UTF-8 byte-order mark before the
// first name is ignored). Throws TUsageError for a malformed
// header, an empty or repeated name (names are compared with ASCII letters
// folded, as the library compares them), or a name GBK cannot hold.
std::vector<SColumn> ColumnsOfHeader(const SCsvRecord& header, TTextCodec& codec);

// True when every column's type is declared, so nothing is left to infer.
bool AllDeclared(const std::vector<SColumn>& columns);

}  // namespace rulecalc::cli
