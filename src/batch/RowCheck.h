#pragma once

#include <string>
#include <vector>

#include "batch/Columns.h"
#include "batch/CsvReader.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// Converts a record's fields to GBK values, one per column. Returns why the
// record has to be skipped (malformed, the wrong number of fields, a value
// that GBK cannot hold), or the empty text when gbkValues is ready.
std::string RowProblem(const SCsvRecord& record, const std::vector<SColumn>& columns, TTextCodec& codec,
                       std::vector<std::string>& gbkValues);

}  // namespace rulecalc::batch
