#pragma once

#include <string>
#include <vector>

#include "batch/Columns.h"
#include "batch/CsvReader.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// Converts a record's fields to GBK values, one per column, a character GBK
// lacks in its GB18030 form. Returns why the record has to be skipped
// (malformed, the wrong number of fields), or the empty text when gbkValues
// is ready. A value that still cannot be converted skips the record too,
// unless unreadable is given: then it holds, per column, why that value
// cannot be read (GBK; empty for the others) and the record is ready.
std::string RowProblem(const SCsvRecord& record, const std::vector<SColumn>& columns, TTextCodec& codec,
                       std::vector<std::string>& gbkValues, std::vector<std::string>* unreadable = nullptr);

}  // namespace rulecalc::batch
