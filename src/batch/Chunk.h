#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/CsvReader.h"
#include "batch/Summary.h"

namespace rulecalc::cli {

// A data record and its row number (1 for the first record after the header;
// malformed records count too, so numbers stay those of the file).
struct SDataRow {
  SCsvRecord Record;
  std::uint64_t Number = 0;
};

// A run of consecutive rows: the unit of work handed to a worker thread.
struct SChunk {
  std::vector<SDataRow> Rows;
  std::uint64_t BytesConsumed = 0;  // of the data file, after the last row
};

// What a worker made of a chunk, ready to be written in order.
struct SChunkResult {
  std::string Report;       // verdicts in the report's format
  std::string Diagnostics;  // skipped rows, for standard error
  std::vector<SRuleTally> Tallies;
  std::uint64_t Verdicts = 0;  // lines of Report, one per verdict
  std::uint64_t RowsEvaluated = 0;
  std::uint64_t RowsSkipped = 0;
  std::uint64_t BytesConsumed = 0;
};

}  // namespace rulecalc::cli
