#include "batch/BatchRun.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ExitStatus.h"
#include "batch/Failures.h"
#include "batch/BatchPlan.h"
#include "batch/BatchWorker.h"
#include "batch/ColumnInference.h"
#include "batch/DataFile.h"
#include "batch/DateSettings.h"
#include "batch/InputEncoding.h"
#include "batch/OrderedPipeline.h"
#include "Progress.h"
#include "batch/ResultWriter.h"
#include "batch/RuleCalculators.h"
#include "boundary/Listings.h"
#include "batch/calc/AnalysisReport.h"
#include "batch/calc/ListingItems.h"
#include "io/ReportSink.h"
#include "io/SameFile.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/DisplayColumns.h"

namespace rulecalc::cli {

namespace {

constexpr std::size_t kRowsPerChunk = 256;
constexpr std::size_t kChunksInFlightPerWorker = 4;
constexpr std::uint64_t kHtmlVerdictCap = 1000;

void Notice(const std::string& text) {
  if (!text.empty()) std::fputs(text.c_str(), stderr);
}

// Reads the header and settles the column types. When a type is left to
// infer, the whole file is read once for it and then the file starts over;
// either way reader stands after the header when this returns.
std::vector<SColumn> ReadColumns(TDataFile& data, std::unique_ptr<TCsvReader>& reader, const SBatchOptions& options,
                                 const SBatchPlan& plan, TTextCodec& dataCodec, TTextCodec& output) {
  SCsvRecord header;
  if (!reader->Next(header)) throw TUsageError("the data file '" + options.DataPath + "' has no header row");
  std::vector<SColumn> columns = ColumnsOfHeader(header, options.DataPath, dataCodec, output);
  if (AllDeclared(columns)) return columns;
  std::vector<SColumnEvidence> evidence;
  {
    TProgressBar bar("reading   ", data.Size(), ProgressWanted(options.OutputPath.empty()));
    std::uint64_t rows = 0;
    evidence = InferColumnTypes(*reader, columns, dataCodec, plan.Nulls, plan.Environment.Settings.DecimalSeparator,
                                [&] { bar.Update(reader->BytesConsumed(), ++rows); });
  }
  Notice(MixedColumnsNotice(columns, evidence, options.DataPath, output));
  data.Rewind();
  reader = std::make_unique<TCsvReader>(data.File());
  reader->Next(header);
  return columns;
}

void ReportUnusableColumns(const std::vector<SColumn>& columns, const std::string& dataPath) {
  for (const SColumn& column : columns) {
    if (column.Unusable.empty()) continue;
    Notice("rulecalc: " + dataPath + ": no rule can name the column '" + column.Name + "': " + column.Unusable +
           " (names are an ASCII letter, then letters, digits and underscores)\n");
  }
}

// The columns each rule's sentence names, by the library's own listing
// (whole, however long).
std::vector<std::size_t> ColumnsOfRule(const SRule& rule, const std::vector<SColumn>& columns) {
  TTokenAnalyser tokeniser;
  tokeniser.SetSentence(rule.GbkSentence.c_str());
  std::vector<std::size_t> named;
  for (const std::string& name : SplitJoinedListing(VarnameListing(tokeniser))) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (FoldedName(columns[i].GbkName) == FoldedName(name)) named.push_back(i);
    }
  }
  return named;
}

// Analyses every rule once against the column types; a rule that does not
// analyse is reported now and left out of the rows.
void CheckRules(SBatchPlan& plan, SBatchSummary& summary, const std::string& rulesPath, TTextCodec& output) {
  TRuleCalc checker(plan.Environment);
  const std::vector<SVariable> variables = EmptyVariables(plan.Columns);
  std::unordered_map<std::string_view, std::size_t> firstOfSentence;
  for (const SRule& rule : plan.Rules) {
    plan.RuleSentence.push_back(firstOfSentence.emplace(rule.GbkSentence, plan.RuleSentence.size()).first->second);
    plan.RuleColumns.push_back(ColumnsOfRule(rule, plan.Columns));
    const SEvaluation evaluation = AnalyseRule(checker, rule, variables);
    RequireMemory(checker);
    plan.RuleCodeSize.push_back(checker.Machine.Code.size());
    const bool analyses = evaluation.Outcome == EMOutcome::Held;
    plan.RuleAnalyses.push_back(analyses);
    summary.AnalysisErrors.push_back(analyses ? "" : evaluation.Text);
    const std::string where = "rulecalc: " + rulesPath + ":" + std::to_string(rule.Line) + ": rule " +
                              output.FromGbkShowingControls(rule.GbkId);
    for (const SAnalysisWarning& warning : evaluation.Warnings) {
      Notice(where + ": " + DescribeWarning(rule.GbkSentence, warning, output));
    }
    if (analyses) continue;
    Notice(where + " is left out: " + DescribeAnalysisError(rule.GbkSentence, evaluation, output));
  }
}

int WidestId(const std::vector<SRule>& rules) {
  TDisplayColumns columns;
  int widest = 4;
  for (const SRule& rule : rules) widest = std::max(widest, columns.Of(ShowingControls(rule.GbkId)));
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

void EvaluateRows(const SBatchPlan& plan, const SBatchOptions& options, TCsvReader& reader, std::uint64_t dataBytes,
                  TReportSink& sink, SBatchSummary& summary) {
  // Each worker is made by its own thread when that thread gets its first chunk.
  std::vector<std::unique_ptr<TBatchWorker>> workers(options.Jobs);
  TChunkReader chunks(reader);
  TProgressBar bar("evaluating", dataBytes, ProgressWanted(options.OutputPath.empty()));
  const std::uint64_t cap = options.Format == EMReportFormat::Html ? kHtmlVerdictCap : 0;
  TResultWriter writer(sink, summary, bar, cap);
  auto produce = [&chunks](SChunk& chunk) { return chunks.Fill(chunk); };
  auto work = [&workers, &plan](SChunk& chunk, std::size_t worker) {
    if (!workers[worker]) workers[worker] = std::make_unique<TBatchWorker>(plan);
    return workers[worker]->Process(chunk);
  };
  if (options.Jobs == 1) {
    RunInline<SChunk>(produce, work, writer);
  } else {
    RunOrdered<SChunk, SChunkResult>(options.Jobs, options.Jobs * kChunksInFlightPerWorker, produce, work, writer);
  }
}

bool ReportsHeld(const SBatchOptions& options) {
  if (options.FailedOnly) return false;
  const bool everyVerdictByDefault = options.Format == EMReportFormat::Csv || options.Format == EMReportFormat::JsonLines;
  return everyVerdictByDefault || options.All;
}

SReportLayout LayoutOf(const SBatchOptions& options, const SBatchPlan& plan) {
  SReportLayout layout;
  layout.Format = options.Format;
  layout.Encoding = options.OutputEncoding;
  layout.IdColumns = WidestId(plan.Rules);
  if (plan.KeyColumn) layout.GbkKeyName = plan.Columns[*plan.KeyColumn].GbkName;
  layout.ShowValues = options.ShowValues;
  layout.Bom = options.Bom;
  layout.RawCells = options.RawCells;
  return layout;
}

std::vector<std::string> NullTextsInGbk(const std::vector<std::string>& texts, TTextCodec& codec) {
  std::vector<std::string> gbk;
  for (const std::string& text : texts) gbk.push_back(codec.ToGbk(text, "the null value '" + text + "'"));
  return gbk;
}

void RefuseOverwritingInputs(const SBatchOptions& options) {
  const bool toStandardOutput = options.OutputPath.empty();
  RefuseOverwriting(options.OutputPath, options.RulesPath, "the rules file");
  if (toStandardOutput) RefuseReportingInto(options.RulesPath, "the rules file");
  if (options.DataPath == "-") {
    RefuseOverwritingStandardInput(options.OutputPath, "the data file");
    return;
  }
  RefuseOverwriting(options.OutputPath, options.DataPath, "the data file");
  if (toStandardOutput) RefuseReportingInto(options.DataPath, "the data file");
}

char SeparatorOf(const std::string& option, const std::string& fromFile) {
  const std::string& chosen = option.empty() ? fromFile : option;
  return chosen.empty() ? 0 : chosen[0];
}

int ExitStatusOf(const SBatchSummary& summary, const SBatchOptions& options) {
  if (summary.RowsEvaluated == 0) {
    Notice("rulecalc: no row of '" + options.DataPath + "' was evaluated" +
           (summary.RowsSkipped > 0 ? " (every row was skipped)\n" : " (it has no rows)\n"));
    return esNoRows;
  }
  return summary.AnyRuleError() ? esRuleError : esHeld;
}

// Everything RunBatch does; memory running out ends it with std::bad_alloc,
// the pending report removed as the sink goes.
int RunBatchSteps(const SBatchOptions& options) {
  RefuseOverwritingInputs(options);
  TTextCodec output(options.OutputEncoding);
  SBatchPlan plan;
  plan.DataPath = options.DataPath;
  plan.FreshCalculators = options.FreshCalculators;

  const std::string rulesText = ReadRulesText(options.RulesPath);
  TTextCodec rulesCodec(InputEncoding(rulesText, false, options.RulesEncoding, options.RulesPath, "--rules-encoding"));
  SRulesFile rules = ParseRules(rulesText, options.RulesPath, rulesCodec);
  plan.Rules = std::move(rules.Rules);
  plan.Environment = BatchEnvironment(options.DateOrder.empty() ? rules.DateOrder : options.DateOrder,
                                      SeparatorOf(options.DateSeparator, rules.DateSeparator));

  TDataFile data(options.DataPath);
  const std::string sample = data.Sample(kEncodingSample);
  plan.DataEncoding = sample.empty() && options.DataEncoding.empty()
                          ? options.OutputEncoding
                          : InputEncoding(sample, sample.size() == kEncodingSample, options.DataEncoding,
                                          options.DataPath, "--data-encoding");
  TTextCodec dataCodec(plan.DataEncoding);
  plan.Nulls = TNullTexts(NullTextsInGbk(options.NullValues, output));
  auto reader = std::make_unique<TCsvReader>(data.File());
  plan.Columns = ReadColumns(data, reader, options, plan, dataCodec, output);
  ReportUnusableColumns(plan.Columns, options.DataPath);
  if (!options.KeyColumn.empty()) {
    plan.KeyColumn = ColumnNamed(plan.Columns, output.ToGbk(options.KeyColumn, "--key"), options.KeyColumn);
  }

  SBatchSummary summary;
  summary.Tallies.resize(plan.Rules.size());
  CheckRules(plan, summary, options.RulesPath, output);
  plan.Layout = LayoutOf(options, plan);
  plan.ReportHeld = ReportsHeld(options);

  TReportSink sink(options.OutputPath);
  std::unique_ptr<TReport> report = MakeReport(plan.Layout);
  sink.Write(report->Heading());
  EvaluateRows(plan, options, *reader, data.Size(), sink, summary);
  const std::string summaryText = report->Summary(plan.Rules, summary);
  sink.Write(summaryText);
  sink.Commit();
  if (summaryText.empty()) Notice(TextSummary(plan.Rules, summary, plan.Layout));
  return ExitStatusOf(summary, options);
}

}  // namespace

int RunBatch(const SBatchOptions& options) {
  try {
    return RunBatchSteps(options);
  } catch (const std::bad_alloc&) {
    throw TMemoryError("out of memory: the batch was stopped" +
                       (options.OutputPath.empty() ? std::string(" and its report is incomplete")
                                                   : ", '" + options.OutputPath + "' is left as it was") +
                       " (fewer --jobs, or the rules split over several runs, need less memory)");
  }
}

}  // namespace rulecalc::cli
