#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "batch/CsvReader.h"
#include "batch/Summary.h"

namespace rulecalc::batch {

// A data record and its row number (1 for the first record after the header;
// malformed records count too, so numbers stay those of the file).
struct SDataRow {
  SCsvRecord Record;
  std::uint64_t Number = 0;
};

// A run of consecutive rows: the unit of work handed to a worker thread.
struct SChunk {
  std::size_t File = 0;  // of the plan
  std::vector<SDataRow> Rows;
  std::uint64_t BytesConsumed = 0;  // of the data file, after the last row
  int Descriptor = -1;  // open on the data file, to read failed rows' bytes again
};

// What a worker made of a chunk, ready to be written in order.
struct SChunkResult {
  std::string Report;       // verdicts in the report's format
  std::string FailedRows;   // the records that need attention, with their appended columns
  std::vector<std::string> Diagnostics;  // skipped rows, one message each
  std::vector<SRuleTally> Tallies;
  std::uint64_t Verdicts = 0;  // lines of Report, one per verdict
  std::uint64_t RowsEvaluated = 0;
  std::uint64_t RowsSkipped = 0;
  std::uint64_t BytesConsumed = 0;

  // Appends the result of the chunk that follows (every explanation kept).
  void Append(const SChunkResult& later);
};

}  // namespace rulecalc::batch
