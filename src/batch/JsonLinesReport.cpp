#include <cstdio>
#include <string>

#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

namespace {

// A JSON string literal for UTF-8 text.
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string Member(const char* name, const std::string& jsonValue) {
  return std::string("\"") + name + "\":" + jsonValue;
}

// One JSON object per line, always UTF-8: verdicts, then one summary object per rule and one for the rows.
class TJsonLinesReport : public TReport {
 public:
  explicit TJsonLinesReport(const SReportLayout& layout) : Layout(layout), Codec("UTF-8") {}

  std::string Heading() override { return {}; }

  void AddVerdict(std::string& out, const SVerdict& verdict) override {
    const SEvaluation& evaluation = *verdict.Evaluation;
    out += "{" + Member("row", std::to_string(verdict.Row));
    if (verdict.GbkKey) out += "," + Member("key", JsonString(Codec.FromGbk(*verdict.GbkKey)));
    out += "," + Member("rule", JsonString(Codec.FromGbk(verdict.Rule->GbkId)));
    out += "," + Member("result", JsonString(OutcomeWord(evaluation.Outcome)));
    const std::string explanation = evaluation.Outcome == EMOutcome::Held ? "" : Codec.FromGbk(evaluation.Text);
    out += "," + Member("explanation", JsonString(explanation));
    if (Layout.ShowValues) out += "," + Member("values", Values(verdict)) + Notes(evaluation);
    out += "}\n";
  }

  std::string Summary(const std::vector<SRule>& rules, const SBatchSummary& summary) override {
    std::string out;
    for (const SProblem& problem : summary.Problems) out += ProblemRecord(rules, problem);
    for (std::size_t i = 0; i < rules.size(); ++i) out += RuleSummary(rules[i], summary, i);
    std::string rows = Member("rows_evaluated", std::to_string(summary.RowsEvaluated)) + "," +
                       Member("rows_skipped", std::to_string(summary.RowsSkipped));
    for (const SThresholdCheck& check : summary.Thresholds) {
      if (!check.Rule) rows += ThresholdMembers("fail_on", check);
    }
    return out + "{" + Member("summary", "{" + rows + "}") + "}\n";
  }

 private:
  std::string RuleSummary(const SRule& rule, const SBatchSummary& summary, std::size_t i) {
    std::string fields = Member("rule", JsonString(Codec.FromGbk(rule.GbkId)));
    if (!rule.GbkDescription.empty()) {
      fields += "," + Member("description", JsonString(Codec.FromGbk(rule.GbkDescription)));
    }
    if (!summary.AnalysisErrors[i].empty()) {
      fields += "," + Member("analysis_error", JsonString(Codec.FromGbk(summary.AnalysisErrors[i])));
    } else {
      const SRuleTally& tally = summary.Tallies[i];
      fields += "," + Member("held", std::to_string(tally.Held)) + "," + Member("failed", std::to_string(tally.Failed)) +
                "," + Member("errors", std::to_string(tally.Errors));
      if (!tally.Notes.empty()) fields += "," + Member("fallbacks", Fallbacks(tally));
    }
    for (const SThresholdCheck& check : summary.Thresholds) {
      if (check.Rule == i) fields += ThresholdMembers("max_failed", check);
    }
    return "{" + Member("summary", "{" + fields + "}") + "}\n";
  }

  // {"SCORE":"50","AGE":"16"}: each value the text as read, numbers too.
  std::string Values(const SVerdict& verdict) {
    std::string members;
    for (const auto& [name, value] : verdict.GbkNamedValues) {
      members += (members.empty() ? "" : ",") + JsonString(Codec.FromGbk(name)) + ":" + JsonString(Codec.FromGbk(value));
    }
    return "{" + members + "}";
  }

  // ,"notes":["TODATE could not read APPLIED '2024-01-05': ..."] when the run fell back.
  std::string Notes(const SEvaluation& evaluation) {
    if (evaluation.Outcome == EMOutcome::Held || evaluation.Notes.empty()) return {};
    std::string items;
    for (const SRunNote& note : evaluation.Notes) items += (items.empty() ? "" : ",") + JsonString(Codec.FromGbk(note.Text));
    return "," + Member("notes", "[" + items + "]");
  }

  // {"problem":{"kind":"warning","rule":"r1","message":"rules.rules:3: rule r1: ..."}}
  std::string ProblemRecord(const std::vector<SRule>& rules, const SProblem& problem) {
    std::string fields = Member("kind", JsonString(ProblemKindWord(problem.Kind)));
    if (problem.Rule && *problem.Rule < rules.size()) {
      fields += "," + Member("rule", JsonString(Codec.FromGbk(rules[*problem.Rule].GbkId)));
    }
    std::string message = Codec.FromGbk(problem.GbkText);
    if (!message.empty() && message.back() == '\n') message.pop_back();
    fields += "," + Member("message", JsonString(message));
    return "{" + Member("problem", "{" + fields + "}") + "}\n";
  }

  // [{"position":5,"rows":12,"first_row":7,"note":"12 rows, TODATE could not read ..."}]
  std::string Fallbacks(const SRuleTally& tally) {
    std::string items;
    for (const SNoteTally& note : tally.Notes) {
      items += (items.empty() ? "{" : ",{") + Member("position", std::to_string(note.Position)) + "," +
               Member("rows", std::to_string(note.Rows)) + "," + Member("first_row", std::to_string(note.FirstRow)) +
               "," + Member("note", JsonString(Codec.FromGbk(DescribeNoteTally(note)))) + "}";
    }
    return "[" + items + "]";
  }

  // ,"max_failed":"1%","max_failed_crossed":true
  static std::string ThresholdMembers(const std::string& name, const SThresholdCheck& check) {
    return "," + Member(name.c_str(), JsonString(check.Limit)) + "," +
           Member((name + "_crossed").c_str(), check.Crossed ? "true" : "false");
  }

  SReportLayout Layout;
  TTextCodec Codec;
};

}  // namespace

std::unique_ptr<TReport> MakeJsonLinesReport(const SReportLayout& layout) {
  return std::make_unique<TJsonLinesReport>(layout);
}

}  // namespace rulecalc::batch
