#pragma once

#include <memory>
#include <string>
#include <vector>

#include "batch/BatchPlan.h"
#include "batch/Chunk.h"
#include "batch/Report.h"
#include "batch/RowValues.h"
#include "batch/RuleCalculators.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// Evaluates chunks of rows with calculators, a codec and a report of its own.
class TBatchWorker {
 public:
  explicit TBatchWorker(const SBatchPlan& plan);

  SChunkResult Process(const SChunk& chunk);

  // Every rule's verdict on one record of a file (a rule left out gives an
  // analysis error without text). Returns why the record is skipped, or ""
  // once verdicts and RowValues are the record's.
  std::string Verdicts(std::size_t file, const SCsvRecord& record, std::vector<SEvaluation>& verdicts);
  const std::vector<std::string>& RowValues() const { return GbkValues; }

 private:
  TTextCodec& CodecOf(std::size_t file);
  void EvaluateRow(const SChunk& chunk, const SDataRow& row, SChunkResult& result);
  void NoteFailed(std::size_t file, std::size_t rule, const SEvaluation& evaluation);
  std::string FailedRowOf(const SChunk& chunk, const SDataRow& row);
  SEvaluation EvaluateRule(std::size_t rule, bool rowHasProblems);
  bool PrepareValues(const std::vector<std::string>& fields);
  void Report(const SDataRow& row, std::size_t rule, const SEvaluation& evaluation, SChunkResult& result);

  const SBatchPlan& Plan;
  std::vector<std::unique_ptr<TTextCodec>> Codecs;  // per file, made when first needed
  TRowValues Values;
  TRuleCalculators Calculators;
  std::unique_ptr<TReport> Writer;
  const bool KeepWritten;  // --show-values with columns read otherwise than written
  std::vector<std::string> GbkValues;
  std::vector<std::string> Problems;  // per column, for the current row
  std::vector<std::string> Unreadable;  // per column, the current row's values that could not be converted
  std::vector<std::string> WrittenValues;  // the row's values before dates and pictures were read, for showing
  std::vector<std::string> FailedIds;  // the current row's rules that need attention, the data's encoding
  std::vector<std::string> FailedExplanations;
};

}  // namespace rulecalc::batch
