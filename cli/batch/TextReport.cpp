#include <algorithm>
#include <string>

#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "text/DisplayColumns.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

namespace {

constexpr int kRowColumns = 8;
constexpr int kResultColumns = 6;

std::string PaddedTo(std::string text, int shownColumns, int width) {
  text.append(static_cast<std::size_t>(std::max(width - shownColumns, 0)), ' ');
  return text;
}

std::string RightAligned(const std::string& text, int width) {
  return std::string(static_cast<std::size_t>(std::max(width - static_cast<int>(text.size()), 0)), ' ') + text;
}

// One line per verdict: row, rule id, result and explanation in aligned columns.
class TTextReport : public TReport {
 public:
  TTextReport(const std::string& encoding, int idColumns) : Codec(encoding), IdColumns(idColumns) {}

  std::string Heading() override {
    return PaddedTo("row", 3, kRowColumns) + PaddedTo("rule", 4, IdColumns) + "  result  explanation\n";
  }

  void AddVerdict(std::string& out, std::uint64_t row, const SRule& rule, const SEvaluation& evaluation) override {
    out += PaddedTo(std::to_string(row), static_cast<int>(std::to_string(row).size()), kRowColumns);
    out += PaddedTo(Codec.FromGbk(rule.GbkId), Columns.Of(rule.GbkId), IdColumns);
    out += "  ";
    if (evaluation.Outcome == EMOutcome::Held || evaluation.Text.empty()) {
      out += OutcomeWord(evaluation.Outcome);
    } else {
      const std::string word = OutcomeWord(evaluation.Outcome);
      out += PaddedTo(word, static_cast<int>(word.size()), kResultColumns) + "  " + Codec.FromGbk(evaluation.Text);
    }
    out += '\n';
  }

  std::string Summary(const std::vector<SRule>& rules, const SBatchSummary& summary) override {
    return "\n" + TextSummary(rules, summary, Codec.Encoding(), IdColumns);
  }

 private:
  TTextCodec Codec;
  TDisplayColumns Columns;
  int IdColumns;
};

std::string RowsLine(const SBatchSummary& summary) {
  return "summary: " + std::to_string(summary.RowsEvaluated) + " rows evaluated, " +
         std::to_string(summary.RowsSkipped) + " skipped as malformed\n";
}

}  // namespace

std::string TextSummary(const std::vector<SRule>& rules, const SBatchSummary& summary,
                        const std::string& outsideEncoding, int idColumns) {
  TTextCodec codec(outsideEncoding);
  TDisplayColumns columns;
  std::string text = RowsLine(summary);
  text += PaddedTo("rule", 4, idColumns) + "      held    failed    errors\n";
  for (std::size_t i = 0; i < rules.size(); ++i) {
    text += PaddedTo(codec.FromGbk(rules[i].GbkId), columns.Of(rules[i].GbkId), idColumns);
    const SRuleTally& tally = summary.Tallies[i];
    if (!summary.AnalysisErrors[i].empty()) {
      text += "  not analysed: " + codec.FromGbk(summary.AnalysisErrors[i]) + "\n";
      continue;
    }
    text += RightAligned(std::to_string(tally.Held), 10) + RightAligned(std::to_string(tally.Failed), 10) +
            RightAligned(std::to_string(tally.Errors), 10) + "\n";
  }
  return text;
}

std::unique_ptr<TReport> MakeTextReport(const std::string& encoding, int idColumns) {
  return std::make_unique<TTextReport>(encoding, idColumns);
}

}  // namespace rulecalc::cli
