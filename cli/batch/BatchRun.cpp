#include "batch/BatchRun.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "ExitStatus.h"
#include "Failures.h"
#include "batch/BatchWorker.h"
#include "batch/ColumnInference.h"
#include "batch/DataFile.h"
#include "batch/OrderedPipeline.h"
#include "batch/Progress.h"
#include "batch/ReportSink.h"
#include "calc/AnalysisReport.h"
#include "text/DisplayColumns.h"

namespace rulecalc::cli {

namespace {

constexpr std::size_t kRowsPerChunk = 256;
constexpr std::size_t kChunksInFlightPerWorker = 4;

char LibraryDecimalSeparator() {
  const TRuleCalc calc;
  return calc.Environment.Settings.DecimalSeparator;
}

// Reads the header and settles the column types. When a type is left to
// infer, the whole file is read once for it and then the file starts over;
// either way reader stands after the header when this returns.
std::vector<SColumn> ReadColumns(TDataFile& data, std::unique_ptr<TCsvReader>& reader, const SBatchOptions& options,
                                 TTextCodec& codec) {
  SCsvRecord header;
  if (!reader->Next(header)) throw TUsageError("the data file '" + options.DataPath + "' has no header row");
  std::vector<SColumn> columns = ColumnsOfHeader(header, codec);
  if (AllDeclared(columns)) return columns;
  {
    TProgressBar bar("reading   ", data.Size(), ProgressWanted(options.OutputPath.empty()));
    std::uint64_t rows = 0;
    InferColumnTypes(*reader, columns, codec, LibraryDecimalSeparator(),
                     [&] { bar.Update(reader->BytesConsumed(), ++rows); });
  }
  data.Rewind();
  reader = std::make_unique<TCsvReader>(data.File());
  reader->Next(header);
  return columns;
}

// Analyses every rule once against the column types; a rule that does not
// analyse is reported now and left out of the rows.
void CheckRules(SBatchPlan& plan, SBatchSummary& summary, const std::string& rulesPath, TTextCodec& codec) {
  TRowEvaluator checker(plan.Columns);
  for (const SRule& rule : plan.Rules) {
    const SEvaluation evaluation = checker.Check(rule);
    const bool analyses = evaluation.Outcome == EMOutcome::Held;
    plan.RuleAnalyses.push_back(analyses);
    summary.AnalysisErrors.push_back(analyses ? "" : evaluation.Text);
    if (analyses) continue;
    std::fprintf(stderr, "rulecalc: %s:%zu: rule %s is left out: %s", rulesPath.c_str(), rule.Line, rule.Id.c_str(),
                 DescribeAnalysisError(rule.GbkSentence, evaluation, codec).c_str());
  }
}

int WidestId(const std::vector<SRule>& rules) {
  TDisplayColumns columns;
  int widest = 4;
  for (const SRule& rule : rules) widest = std::max(widest, columns.Of(rule.GbkId));
  return widest;
}

// Reads the next chunk of rows, numbering them.
class TChunkReader {
 public:
  explicit TChunkReader(TCsvReader& reader) : Reader(reader) {}

  bool Fill(SChunk& chunk) {
    chunk.Rows.resize(kRowsPerChunk);
    std::size_t count = 0;
    while (count < kRowsPerChunk && Reader.Next(chunk.Rows[count].Record)) chunk.Rows[count++].Number = ++RowsRead;
    chunk.Rows.resize(count);
    chunk.BytesConsumed = Reader.BytesConsumed();
    return count > 0;
  }

 private:
  TCsvReader& Reader;
  std::uint64_t RowsRead = 0;
};

// Writes results in order and keeps the totals and the progress bar.
class TResultWriter {
 public:
  TResultWriter(TReportSink& sink, SBatchSummary& summary, TProgressBar& bar)
      : Sink(sink), Summary(summary), Bar(bar) {}

  void operator()(SChunkResult& result) {
    if (!result.Diagnostics.empty()) {
      Bar.Clear();
      std::fputs(result.Diagnostics.c_str(), stderr);
    }
    Sink.Write(result.Report);
    for (std::size_t i = 0; i < result.Tallies.size(); ++i) Summary.Tallies[i].Add(result.Tallies[i]);
    Summary.RowsEvaluated += result.RowsEvaluated;
    Summary.RowsSkipped += result.RowsSkipped;
    Bar.Update(result.BytesConsumed, Summary.RowsEvaluated + Summary.RowsSkipped);
  }

 private:
  TReportSink& Sink;
  SBatchSummary& Summary;
  TProgressBar& Bar;
};

void EvaluateRows(const SBatchPlan& plan, const SBatchOptions& options, const std::string& encoding,
                  TCsvReader& reader, std::uint64_t dataBytes, TReportSink& sink, SBatchSummary& summary,
                  int idColumns) {
  std::vector<std::unique_ptr<TBatchWorker>> workers;
  for (std::size_t w = 0; w < options.Jobs; ++w) {
    workers.push_back(std::make_unique<TBatchWorker>(plan, encoding, MakeReport(options.Format, encoding, idColumns)));
  }
  TChunkReader chunks(reader);
  TProgressBar bar("evaluating", dataBytes, ProgressWanted(options.OutputPath.empty()));
  TResultWriter writer(sink, summary, bar);
  auto produce = [&chunks](SChunk& chunk) { return chunks.Fill(chunk); };
  auto work = [&workers](SChunk& chunk, std::size_t worker) { return workers[worker]->Process(chunk); };
  if (options.Jobs == 1) {
    RunInline<SChunk>(produce, work, writer);
  } else {
    RunOrdered<SChunk, SChunkResult>(options.Jobs, options.Jobs * kChunksInFlightPerWorker, produce, work, writer);
  }
}

}  // namespace

int RunBatch(const SBatchOptions& options, const std::string& outsideEncoding) {
  TTextCodec codec(outsideEncoding);
  SBatchPlan plan;
  plan.DataPath = options.DataPath;
  plan.FailedOnly = options.FailedOnly;
  plan.Rules = ReadRulesFile(options.RulesPath, codec);
  TDataFile data(options.DataPath);
  auto reader = std::make_unique<TCsvReader>(data.File());
  plan.Columns = ReadColumns(data, reader, options, codec);

  SBatchSummary summary;
  summary.Tallies.resize(plan.Rules.size());
  CheckRules(plan, summary, options.RulesPath, codec);

  const int idColumns = WidestId(plan.Rules);
  TReportSink sink(options.OutputPath);
  std::unique_ptr<TReport> report = MakeReport(options.Format, outsideEncoding, idColumns);
  sink.Write(report->Heading());
  EvaluateRows(plan, options, outsideEncoding, *reader, data.Size(), sink, summary, idColumns);
  const std::string summaryText = report->Summary(plan.Rules, summary);
  sink.Write(summaryText);
  sink.Finish();
  if (summaryText.empty()) std::fputs(TextSummary(plan.Rules, summary, outsideEncoding, idColumns).c_str(), stderr);
  return summary.AnyRuleError() ? esRuleError : esHeld;
}

}  // namespace rulecalc::cli
