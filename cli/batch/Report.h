#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch/RulesFile.h"
#include "batch/Summary.h"
#include "calc/Evaluation.h"

namespace rulecalc::cli {

enum class EMReportFormat { Text, Csv, JsonLines };

// Writes the batch report in one format. Each worker thread has its own
// report (the conversion out of GBK keeps state).
class TReport {
 public:
  virtual ~TReport() = default;

  // What comes before the first verdict.
  virtual std::string Heading() = 0;

  // Appends the verdict of one rule on one row.
  virtual void AddVerdict(std::string& out, std::uint64_t row, const SRule& rule, const SEvaluation& evaluation) = 0;

  // The summary at the end; empty when the format keeps it out of the report
  // (then the text summary goes to standard error).
  virtual std::string Summary(const std::vector<SRule>& rules, const SBatchSummary& summary) = 0;
};

// A report in format. Text and CSV are written in the outside encoding; JSON
// lines always in UTF-8. idColumns is the widest rule id in terminal columns
// (the text format lines ids up).
std::unique_ptr<TReport> MakeReport(EMReportFormat format, const std::string& outsideEncoding, int idColumns);

// The summary as the text format shows it, in the outside encoding.
std::string TextSummary(const std::vector<SRule>& rules, const SBatchSummary& summary,
                        const std::string& outsideEncoding, int idColumns);

// The word for an outcome in every format: true, false or error.
const char* OutcomeWord(EMOutcome outcome);

}  // namespace rulecalc::cli
