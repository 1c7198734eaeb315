#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "batch/RulesFile.h"
#include "batch/Summary.h"
#include "batch/calc/Evaluation.h"

namespace rulecalc::batch {

enum class EMReportFormat { Text, Csv, JsonLines, Html, Xlsx };

// What every report of a run shows besides the verdicts.
struct SReportLayout {
  EMReportFormat Format = EMReportFormat::Text;
  std::string Encoding;        // of text, CSV and HTML reports (JSON lines are UTF-8)
  int IdColumns = 4;           // the widest rule id in terminal columns
  std::string GbkKeyName;      // the --key column's name; empty without --key
  bool ShowValues = false;     // add the failing clause's variables and values
  bool Bom = false;            // start CSV with a UTF-8 byte-order mark
  bool RawCells = false;       // CSV: write cells a spreadsheet would take for a formula as they are
};

// One verdict: a rule on a row.
struct SVerdict {
  std::uint64_t Row = 0;
  const std::string* GbkKey = nullptr;  // the --key column's value
  const SRule* Rule = nullptr;
  const SEvaluation* Evaluation = nullptr;
  std::string GbkValues;                // "SCORE=50, AGE=16; note: ..." with --show-values
  std::vector<std::pair<std::string, std::string>> GbkNamedValues;  // the same values, name by name
};

// Writes the batch report in one format. Each worker thread has its own
// report (the conversion out of GBK keeps state).
class TReport {
 public:
  virtual ~TReport() = default;

  // What comes before the first verdict.
  virtual std::string Heading() = 0;

  // Appends one verdict.
  virtual void AddVerdict(std::string& out, const SVerdict& verdict) = 0;

  // The summary at the end; empty when the format keeps it out of the report
  // (then the text summary goes to standard error).
  virtual std::string Summary(const std::vector<SRule>& rules, const SBatchSummary& summary) = 0;
};

std::unique_ptr<TReport> MakeReport(const SReportLayout& layout);

// The summary as the text format shows it: rows, then the rules by failures
// with counts and their most common explanations, in the layout's encoding.
std::string TextSummary(const std::vector<SRule>& rules, const SBatchSummary& summary, const SReportLayout& layout);

// The problems found before the first row and the fallbacks of the rules'
// runs as CSV records kind,rule,rows,first_row,message (kind warning,
// column or note; rows and first_row for notes), CRLF, in the layout's
// encoding, cells guarded as in the CSV report.
std::string NotesCsv(const std::vector<SRule>& rules, const SBatchSummary& summary, const SReportLayout& layout);

// The word for an outcome in every format: true, false or error.
const char* OutcomeWord(EMOutcome outcome);

}  // namespace rulecalc::batch
