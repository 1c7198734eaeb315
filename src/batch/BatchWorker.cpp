#include "batch/BatchWorker.h"

#include <algorithm>
#include <cstdint>

#include "batch/ExplainedValues.h"
#include "batch/FailedRows.h"
#include "batch/RowCheck.h"
#include "batch/text/OneLine.h"

namespace rulecalc::batch {

TBatchWorker::TBatchWorker(const SBatchPlan& plan)
    : Plan(plan),
      Codecs(plan.Files.size()),
      Values(plan.Columns, plan.Nulls, plan.Environment.Settings, plan.Environment.CurrentYear()),
      Calculators(plan),
      Writer(MakeReport(plan.Layout)),
      KeepWritten(plan.Layout.ShowValues &&
                  std::any_of(plan.Columns.begin(), plan.Columns.end(), ReadOtherwiseThanWritten)) {}

SChunkResult TBatchWorker::Process(const SChunk& chunk) {
  SChunkResult result;
  result.Tallies.resize(Plan.Rules.size());
  result.BytesConsumed = chunk.BytesConsumed;
  TTextCodec& codec = CodecOf(chunk.File);
  for (const SDataRow& row : chunk.Rows) {
    const std::string problem = RowProblem(row.Record, Plan.Columns, codec, GbkValues, &Unreadable);
    if (problem.empty()) {
      EvaluateRow(chunk, row, result);
      continue;
    }
    result.Diagnostics.push_back(Plan.Files[chunk.File].Path + ":" + std::to_string(row.Record.Line) + ": row " +
                                 std::to_string(row.Number) + " skipped: " + problem + "\n");
    ++result.RowsSkipped;
  }
  return result;
}

std::string TBatchWorker::Verdicts(std::size_t file, const SCsvRecord& record, std::vector<SEvaluation>& verdicts) {
  std::string problem = RowProblem(record, Plan.Columns, CodecOf(file), GbkValues, &Unreadable);
  verdicts.clear();
  if (!problem.empty()) return problem;
  const bool rowHasProblems = PrepareValues(record.Fields);
  for (std::size_t i = 0; i < Plan.Rules.size(); ++i) {
    verdicts.push_back(Plan.RuleAnalyses[i] ? EvaluateRule(i, rowHasProblems) : SEvaluation{EMOutcome::AnalysisError, "", {}, {}, {}});
  }
  return problem;
}

TTextCodec& TBatchWorker::CodecOf(std::size_t file) {
  if (!Codecs[file]) Codecs[file] = std::make_unique<TTextCodec>(Plan.Files[file].Encoding);
  return *Codecs[file];
}

void SChunkResult::Append(const SChunkResult& later) {
  Report += later.Report;
  FailedRows += later.FailedRows;
  Diagnostics.insert(Diagnostics.end(), later.Diagnostics.begin(), later.Diagnostics.end());
  if (Tallies.size() < later.Tallies.size()) Tallies.resize(later.Tallies.size());
  for (std::size_t i = 0; i < later.Tallies.size(); ++i) Tallies[i].Add(later.Tallies[i], SIZE_MAX);
  Verdicts += later.Verdicts;
  RowsEvaluated += later.RowsEvaluated;
  RowsSkipped += later.RowsSkipped;
  BytesConsumed = later.BytesConsumed;
}

void TBatchWorker::EvaluateRow(const SChunk& chunk, const SDataRow& row, SChunkResult& result) {
  ++result.RowsEvaluated;
  const bool rowHasProblems = PrepareValues(row.Record.Fields);
  FailedIds.clear();
  FailedExplanations.clear();
  for (std::size_t i = 0; i < Plan.Rules.size(); ++i) {
    if (!Plan.RuleAnalyses[i]) continue;
    const SEvaluation evaluation = EvaluateRule(i, rowHasProblems);
    result.Tallies[i].Count(evaluation, row.Number);
    if (Plan.FailedRows && evaluation.Outcome != EMOutcome::Held) NoteFailed(chunk.File, i, evaluation);
    if (evaluation.Outcome == EMOutcome::Held && !Plan.ReportHeld) continue;
    Report(row, i, evaluation, result);
  }
  if (!FailedIds.empty()) result.FailedRows += FailedRowOf(chunk, row);
}

// A rule's id and explanation for the failed-rows file, in the data file's encoding.
void TBatchWorker::NoteFailed(std::size_t file, std::size_t rule, const SEvaluation& evaluation) {
  TTextCodec& codec = CodecOf(file);
  FailedIds.push_back(codec.FromGbk(Plan.Rules[rule].GbkId));
  FailedExplanations.push_back(codec.FromGbk(OneLine(evaluation.Text)));
}

std::string TBatchWorker::FailedRowOf(const SChunk& chunk, const SDataRow& row) {
  const SRecordBytes bytes = RecordBytes(chunk.Descriptor, row.Record.Start, row.Record.End, Plan.Files[chunk.File].Path);
  const std::string* key = Plan.KeyColumn ? &row.Record.Fields[*Plan.KeyColumn] : nullptr;
  return FailedRow(bytes, key, FailedIds, FailedExplanations);
}

// The row's values as the rules read them, and per column the problem that
// makes a rule on it an error (the verdict names the row): a value that
// could not be converted, or one that is no number or date as declared.
bool TBatchWorker::PrepareValues(const std::vector<std::string>& fields) {
  Calculators.StartRow();
  if (KeepWritten) WrittenValues = GbkValues;
  bool rowHasProblems = Values.Prepare(fields, GbkValues, Problems);
  for (std::size_t i = 0; i < Unreadable.size() && i < Problems.size(); ++i) {
    if (Unreadable[i].empty()) continue;
    Problems[i] = Unreadable[i];
    rowHasProblems = true;
  }
  return rowHasProblems;
}

// A value its column cannot take makes every rule that names the column an
// error for this row; the other rules run.
SEvaluation TBatchWorker::EvaluateRule(std::size_t rule, bool rowHasProblems) {
  if (rowHasProblems) {
    for (std::size_t column : Plan.RuleColumns[rule]) {
      if (!Problems[column].empty()) return SEvaluation{EMOutcome::RunError, Problems[column], {}, {}, {}};
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
    verdict.GbkNamedValues = ExplainedNamedValues(evaluation.Text, Plan.Columns, GbkValues, WrittenValues);
    verdict.GbkValues = JoinedValues(verdict.GbkNamedValues);
    for (const SRunNote& note : evaluation.Notes)
      verdict.GbkValues += (verdict.GbkValues.empty() ? "note: " : "; note: ") + note.Text;
  }
  Writer->AddVerdict(result.Report, verdict);
  ++result.Verdicts;
}

}  // namespace rulecalc::batch
