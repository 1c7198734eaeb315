#include "batch/BatchWorker.h"

#include "batch/ExplainedValues.h"
#include "batch/RowCheck.h"

namespace rulecalc::cli {

TBatchWorker::TBatchWorker(const SBatchPlan& plan)
    : Plan(plan),
      Codec(plan.DataEncoding),
      Values(plan.Columns, plan.Nulls, plan.Environment.Settings, plan.Environment.CurrentYear()),
      Calculators(plan),
      Writer(MakeReport(plan.Layout)) {}

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
  const bool rowHasProblems = Values.Prepare(row.Record.Fields, GbkValues, Problems);
  for (std::size_t i = 0; i < Plan.Rules.size(); ++i) {
    if (!Plan.RuleAnalyses[i]) continue;
    const SEvaluation evaluation = EvaluateRule(i, rowHasProblems);
    result.Tallies[i].Count(evaluation);
    if (evaluation.Outcome == EMOutcome::Held && !Plan.ReportHeld) continue;
    Report(row, i, evaluation, result);
  }
}

// A value its column cannot take makes every rule that names the column an
// error for this row; the other rules run.
SEvaluation TBatchWorker::EvaluateRule(std::size_t rule, bool rowHasProblems) {
  if (rowHasProblems) {
    for (std::size_t column : Plan.RuleColumns[rule]) {
      if (!Problems[column].empty()) return SEvaluation{EMOutcome::RunError, Problems[column], {}, {}};
    }
  }
  return Calculators.Evaluate(rule, GbkValues);
}

void TBatchWorker::Report(const SDataRow& row, std::size_t rule, const SEvaluation& evaluation,
                          SChunkResult& result) {
  SVerdict verdict;
  verdict.Row = row.Number;
  if (Plan.KeyColumn) verdict.GbkKey = &GbkValues[*Plan.KeyColumn];
  verdict.Rule = &Plan.Rules[rule];
  verdict.Evaluation = &evaluation;
  if (Plan.Layout.ShowValues && evaluation.Outcome != EMOutcome::Held) {
    verdict.GbkValues = ExplainedValues(evaluation.Text, Plan.Columns, GbkValues);
  }
  Writer->AddVerdict(result.Report, verdict);
  ++result.Verdicts;
}

}  // namespace rulecalc::cli
