#pragma once

#include <memory>
#include <string>
#include <vector>

#include "batch/Chunk.h"
#include "batch/Columns.h"
#include "batch/Report.h"
#include "batch/RowEvaluator.h"
#include "batch/RulesFile.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

// What every worker shares, read only.
struct SBatchPlan {
  std::string DataPath;  // for diagnostics
  std::vector<SColumn> Columns;
  std::vector<SRule> Rules;
  std::vector<bool> RuleAnalyses;  // per rule: false when it did not analyse (it is left out)
  bool FailedOnly = false;         // report only verdicts other than true
};

// Evaluates chunks of rows with a calculator, a codec and a report of its own.
class TBatchWorker {
 public:
  TBatchWorker(const SBatchPlan& plan, const std::string& outsideEncoding, std::unique_ptr<TReport> report);

  SChunkResult Process(const SChunk& chunk);

 private:
  void EvaluateRow(const SDataRow& row, SChunkResult& result);

  const SBatchPlan& Plan;
  TTextCodec Codec;
  TRowEvaluator Evaluator;
  std::unique_ptr<TReport> Report;
  std::vector<std::string> GbkValues;
};

}  // namespace rulecalc::cli
