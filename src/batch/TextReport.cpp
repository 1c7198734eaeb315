#include <algorithm>
#include <string>

#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "batch/Thresholds.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/DisplayColumns.h"
#include "batch/text/OneLine.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

namespace {

constexpr int kRowColumns = 8;
constexpr int kResultColumns = 6;
constexpr int kKeyColumns = 10;  // keys are lined up when they fit
constexpr std::size_t kCommonExplanations = 3;

// Each line of the text behind two spaces.
std::string Indented(const std::string& text) {
  std::string indented;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    indented += "  " + text.substr(start, end - start);
    start = end;
  }
  if (!indented.empty() && indented.back() != '\n') indented += '\n';
  return indented;
}

std::string PaddedTo(std::string text, int shownColumns, int width) {
  text.append(static_cast<std::size_t>(std::max(width - shownColumns, 0)), ' ');
  return text;
}

std::string RightAligned(const std::string& text, int width) {
  return std::string(static_cast<std::size_t>(std::max(width - static_cast<int>(text.size()), 0)), ' ') + text;
}

std::string Plural(std::uint64_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// A text of the data or the rules as the terminal shows it, control
// characters as \xNN, padded to width columns.
std::string Cell(const std::string& gbk, int width, TTextCodec& codec, TDisplayColumns& columns) {
  return PaddedTo(codec.FromGbkShowingControls(gbk), columns.Of(ShowingControls(gbk)), width);
}

// What was found before the first row, as standard error showed it.
std::string ProblemLines(const SBatchSummary& summary, TTextCodec& codec) {
  std::string text;
  for (const SProblem& problem : summary.Problems) text += Indented(codec.FromGbk(problem.GbkText));
  return text.empty() ? text : "problems:\n" + text;
}

// One line per verdict: row, key, rule id, result and explanation in aligned columns.
class TTextReport : public TReport {
 public:
  explicit TTextReport(const SReportLayout& layout) : Layout(layout), Codec(layout.Encoding) {}

  std::string Heading() override {
    std::string heading = PaddedTo("row", 3, kRowColumns);
    if (!Layout.GbkKeyName.empty()) heading += Cell(Layout.GbkKeyName, kKeyColumns, Codec, Columns) + "  ";
    return heading + PaddedTo("rule", 4, Layout.IdColumns) + "  result  explanation\n";
  }

  void AddVerdict(std::string& out, const SVerdict& verdict) override {
    const std::string row = std::to_string(verdict.Row);
    out += PaddedTo(row, static_cast<int>(row.size()), kRowColumns);
    if (verdict.GbkKey) out += Cell(*verdict.GbkKey, kKeyColumns, Codec, Columns) + "  ";
    out += Cell(verdict.Rule->GbkId, Layout.IdColumns, Codec, Columns);
    out += "  ";
    const SEvaluation& evaluation = *verdict.Evaluation;
    const std::string word = OutcomeWord(evaluation.Outcome);
    if (evaluation.Outcome == EMOutcome::Held || (evaluation.Text.empty() && verdict.GbkValues.empty())) {
      out += word + "\n";
      return;
    }
    out += PaddedTo(word, static_cast<int>(word.size()), kResultColumns) + "  " + Codec.FromGbkShowingControls(OneLine(evaluation.Text));
    if (!verdict.GbkValues.empty()) out += "  [" + Codec.FromGbkShowingControls(verdict.GbkValues) + "]";
    out += '\n';
  }

  std::string Summary(const std::vector<SRule>& rules, const SBatchSummary& summary) override {
    return "\n" + TextSummary(rules, summary, Layout) + ProblemLines(summary, Codec);
  }

 private:
  SReportLayout Layout;
  TTextCodec Codec;
  TDisplayColumns Columns;
};

std::string RowsLine(const SBatchSummary& summary) {
  return "summary: " + Plural(summary.RowsEvaluated, "row") + " evaluated, " + std::to_string(summary.RowsSkipped) +
         " skipped as malformed\n";
}

std::string CommonExplanations(const SRuleTally& tally, TTextCodec& codec) {
  std::string text;
  for (const auto& [explanation, times] : tally.MostCommon(kCommonExplanations)) {
    text += RightAligned(std::to_string(times), 10) + "x  " + codec.FromGbkShowingControls(OneLine(explanation)) + "\n";
  }
  return text;
}

// Each threshold, crossed or within, with what the rows made of it.
std::string ThresholdLines(const SBatchSummary& summary, TTextCodec& codec) {
  if (summary.Thresholds.empty()) return {};
  std::string text = "thresholds:\n";
  for (const SThresholdCheck& check : summary.Thresholds) {
    text += std::string(check.Crossed ? "  crossed  " : "  within   ") + codec.FromGbkShowingControls(check.GbkSetting) +
            ": " + ThresholdFinding(check) + "\n";
  }
  return text;
}

// "  income: 12 rows, TODATE could not read APPLIED, e.g. row 7 ..."
std::string NoteLine(const SRule& rule, const SNoteTally& note, TTextCodec& codec) {
  return "  " + codec.FromGbkShowingControls(rule.GbkId) + ": " + codec.FromGbkShowingControls(DescribeNoteTally(note)) +
         "\n";
}

// Where the rules' runs fell back, rule by rule in file order.
std::string NoteLines(const std::vector<SRule>& rules, const SBatchSummary& summary, TTextCodec& codec) {
  std::string text;
  for (std::size_t i = 0; i < summary.Tallies.size() && i < rules.size(); ++i) {
    for (const SNoteTally& note : summary.Tallies[i].Notes) text += NoteLine(rules[i], note, codec);
  }
  return text.empty() ? text : "fallbacks:\n" + text;
}

}  // namespace

std::string TextSummary(const std::vector<SRule>& rules, const SBatchSummary& summary, const SReportLayout& layout) {
  TTextCodec codec(layout.Encoding);
  TDisplayColumns columns;
  std::string text = RowsLine(summary);
  text += PaddedTo("rule", 4, layout.IdColumns) + "      held    failed    errors\n";
  std::string explanations;
  for (std::size_t i : summary.RulesByFailures()) {
    const SRule& rule = rules[i];
    text += Cell(rule.GbkId, layout.IdColumns, codec, columns);
    const SRuleTally& tally = summary.Tallies[i];
    if (!summary.AnalysisErrors[i].empty()) {
      text += "  not analysed: " + codec.FromGbkShowingControls(summary.AnalysisErrors[i]) + "\n";
      continue;
    }
    text += RightAligned(std::to_string(tally.Held), 10) + RightAligned(std::to_string(tally.Failed), 10) +
            RightAligned(std::to_string(tally.Errors), 10);
    text += rule.GbkDescription.empty() ? "\n" : "  " + codec.FromGbkShowingControls(rule.GbkDescription) + "\n";
    if (tally.NotHeld() > 0) explanations += codec.FromGbkShowingControls(rule.GbkId) + ":\n" + CommonExplanations(tally, codec);
  }
  text += ThresholdLines(summary, codec);
  if (!explanations.empty()) text += "most common explanations:\n" + explanations;
  return text + NoteLines(rules, summary, codec);
}

std::unique_ptr<TReport> MakeTextReport(const SReportLayout& layout) { return std::make_unique<TTextReport>(layout); }

}  // namespace rulecalc::batch
