#pragma once

#include <cstddef>
#include <string>

#include "batch/Report.h"

namespace rulecalc::cli {

struct SBatchOptions {
  std::string RulesPath;
  std::string DataPath;
  std::string OutputPath;  // empty for standard output
  std::size_t Jobs = 1;
  EMReportFormat Format = EMReportFormat::Text;
  bool FailedOnly = false;
};

// Evaluates every rule of the rules file against every row of the data file
// and writes the report. Returns 0 when every rule analysed and no run
// stopped with an error, 2 otherwise. Throws TUsageError and
// TConversionError for unusable input.
int RunBatch(const SBatchOptions& options, const std::string& outsideEncoding);

}  // namespace rulecalc::cli
