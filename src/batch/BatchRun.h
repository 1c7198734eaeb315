#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "batch/Report.h"

namespace rulecalc::cli {

struct SBatchOptions {
  std::string RulesPath;
  std::string DataPath;      // "-" for standard input
  std::string OutputPath;    // empty for standard output
  std::size_t Jobs = 1;
  EMReportFormat Format = EMReportFormat::Text;
  bool FailedOnly = false;   // leave out true verdicts (CSV, JSON lines)
  bool All = false;          // every verdict, true ones too (text, HTML)
  std::string KeyColumn;     // names each record; empty: row numbers only
  bool ShowValues = false;
  std::vector<std::string> NullValues;  // texts that mean empty, besides the empty text
  std::string DataEncoding;  // empty: detected
  std::string RulesEncoding; // empty: detected
  std::string OutputEncoding;
  bool Bom = false;
  bool RawCells = false;     // CSV: no ' before cells that look like formulas
  std::string DateOrder;     // empty: the rules file's, else the locale's
  std::string DateSeparator;
  bool FreshCalculators = false;  // the reference path: a new analysis per row and rule
};

// Evaluates every rule of the rules file against every row of the data file
// and writes the report. Returns the exit status: 0 when every rule analysed
// and no verdict was an error, 2 otherwise, 3 when no row was evaluated.
// Throws TUsageError and TConversionError for unusable input, TOutputError
// when the report cannot be written, TMemoryError when memory runs out.
int RunBatch(const SBatchOptions& options);

}  // namespace rulecalc::cli
