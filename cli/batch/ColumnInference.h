#pragma once

#include <vector>

#include "batch/Columns.h"
#include "batch/CsvReader.h"
#include "batch/RowCheck.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

// Settles the type of every column the header leaves open, from all of its
// values: numeric when each one is empty or reads as a number, text as soon
// as one does not. Records that will be skipped as malformed (a problem, the
// wrong number of fields, text GBK cannot hold) do not count. Reads records
// until the end of the input; onRecord is called after each one (for progress).
template <typename OnRecord>
void InferColumnTypes(TCsvReader& reader, std::vector<SColumn>& columns, TTextCodec& codec,
                      char decimalSeparator, OnRecord onRecord);

// Folds one well-formed record's GBK values into the column types.
void ObserveRow(const std::vector<std::string>& gbkValues, std::vector<SColumn>& columns, char decimalSeparator);


template <typename OnRecord>
void InferColumnTypes(TCsvReader& reader, std::vector<SColumn>& columns, TTextCodec& codec,
                      char decimalSeparator, OnRecord onRecord) {
  SCsvRecord record;
  std::vector<std::string> gbkValues;
  while (reader.Next(record)) {
    if (RowProblem(record, columns, codec, gbkValues).empty()) ObserveRow(gbkValues, columns, decimalSeparator);
    onRecord();
  }
}

}  // namespace rulecalc::cli
