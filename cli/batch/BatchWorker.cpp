#include "batch/BatchWorker.h"

#include "batch/RowCheck.h"

namespace rulecalc::cli {

TBatchWorker::TBatchWorker(const SBatchPlan& plan, const std::string& outsideEncoding,
                           std::unique_ptr<TReport> report)
    : Plan(plan), Codec(outsideEncoding), Evaluator(plan.Columns), Report(std::move(report)) {}

SChunkResult TBatchWorker::Process(const SChunk& chunk) {
  SChunkResult result;
  result.Tallies.resize(Plan.Rules.size());
  result.BytesConsumed = chunk.BytesConsumed;
  for (const SDataRow& row : chunk.Rows) {
    const std::string problem = RowProblem(row.Record, Plan.Columns, Codec, GbkValues);
    if (problem.empty()) {
      EvaluateRow(row, result);
      continue;
    }
    result.Diagnostics += "rulecalc: " + Plan.DataPath + ":" + std::to_string(row.Record.Line) + ": row " +
                          std::to_string(row.Number) + " skipped: " + problem + "\n";
    ++result.RowsSkipped;
  }
  return result;
}

void TBatchWorker::EvaluateRow(const SDataRow& row, SChunkResult& result) {
  ++result.RowsEvaluated;
  for (std::size_t i = 0; i < Plan.Rules.size(); ++i) {
    if (!Plan.RuleAnalyses[i]) continue;
    const SEvaluation evaluation = Evaluator.Evaluate(Plan.Rules[i], GbkValues);
    result.Tallies[i].Count(evaluation.Outcome);
    if (Plan.FailedOnly && evaluation.Outcome == EMOutcome::Held) continue;
    Report->AddVerdict(result.Report, row.Number, Plan.Rules[i], evaluation);
  }
}

}  // namespace rulecalc::cli
