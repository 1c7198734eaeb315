#include <string>

#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "batch/Thresholds.h"
#include "batch/text/OneLine.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

namespace {

constexpr std::size_t kCommonExplanations = 5;

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em;color:#222}main{display:flex;flex-direction:column}"
    "#summary{order:-1}table{border-collapse:collapse;margin:1em 0}td,th{border:1px solid #ccc;padding:.2em .5em;"
    "text-align:left;vertical-align:top}td.n{text-align:right}.bar{display:flex;width:24em;height:1.1em;"
    "background:#eee}.bar span{display:block;height:100%}.held{background:#4caf50}.failed{background:#e53935}"
    ".error{background:#fb8c00}tr.crossed td:first-child{color:#e53935;font-weight:bold}tr.false td:nth-last-child(2),tr.error td:nth-last-child(2){font-family:monospace}"
    ".legend span{display:inline-block;width:1em;height:1em;margin:0 .3em 0 1em;vertical-align:middle}";

// Text for HTML: markup characters escaped, line breaks as blanks (one verdict per line of the file).
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : OneLine(text)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n': case '\r': out += ' '; break;
      default: out += c;
    }
  }
  return out;
}

// As Escaped, line by line, the line breaks between them kept (for a <pre>).
std::string EscapedLines(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out += Escaped(text.substr(start, end - start)) + (end + 1 < text.size() ? "\n" : "");
    start = end + 1;
  }
  return out;
}

std::string Cell(const std::string& text, const char* cls = nullptr) {
  return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" + text + "</td>";
}

std::string Percent(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? "0" : std::to_string(static_cast<double>(part) * 100.0 / static_cast<double>(whole));
}

// One self-contained UTF-8 page: the summary with a bar per rule (held,
// failed, error) and the most common explanations, then the verdicts.
class THtmlReport : public TReport {
 public:
  explicit THtmlReport(const SReportLayout& layout) : Layout(layout), Codec("UTF-8") {}

  std::string Heading() override {
    std::string head = std::string("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>rulecalc report</title><style>") +
                       kStyle + "</style></head><body><main>\n<section id=\"rows\"><h2>Verdicts</h2>"
                       "<table id=\"verdicts\"><thead><tr><th>row</th>";
    if (!Layout.GbkKeyName.empty()) head += "<th>" + Escaped(Codec.FromGbk(Layout.GbkKeyName)) + "</th>";
    head += "<th>rule</th><th>result</th><th>explanation</th>";
    if (Layout.ShowValues) head += "<th>values</th>";
    return head + "</tr></thead><tbody>\n";
  }

  void AddVerdict(std::string& out, const SVerdict& verdict) override {
    const char* word = OutcomeWord(verdict.Evaluation->Outcome);
    out += std::string("<tr class=\"") + word + "\">" + Cell(std::to_string(verdict.Row), "n");
    if (verdict.GbkKey) out += Cell(Escaped(Codec.FromGbk(*verdict.GbkKey)));
    out += Cell(Escaped(Codec.FromGbk(verdict.Rule->GbkId))) + Cell(word);
    const bool held = verdict.Evaluation->Outcome == EMOutcome::Held;
    out += Cell(held ? "" : Escaped(Codec.FromGbk(verdict.Evaluation->Text)));
    if (Layout.ShowValues) out += Cell(Escaped(Codec.FromGbk(verdict.GbkValues)));
    out += "</tr>\n";
  }

  std::string Summary(const std::vector<SRule>& rules, const SBatchSummary& summary) override {
    std::string out = "</tbody></table><p id=\"shown\">" + std::to_string(summary.VerdictsShown) + " verdicts shown";
    if (summary.VerdictsLeftOut > 0) out += ", " + std::to_string(summary.VerdictsLeftOut) + " more not shown (see --format csv)";
    out += "</p></section>\n<section id=\"summary\"><h1>rulecalc report</h1><p id=\"rows-evaluated\">" +
           std::to_string(summary.RowsEvaluated) + (summary.RowsEvaluated == 1 ? " row" : " rows") + " evaluated, " +
           std::to_string(summary.RowsSkipped) +
           " skipped as malformed</p>\n<p class=\"legend\"><span class=\"held\"></span>held<span class=\"failed\">"
           "</span>failed<span class=\"error\"></span>error</p>\n<table id=\"rules\"><thead><tr><th>rule</th><th></th>"
           "<th>held</th><th>failed</th><th>errors</th><th>description</th></tr></thead><tbody>\n";
    for (std::size_t i : summary.RulesByFailures()) out += RuleRow(rules[i], summary, i);
    out += "</tbody></table>\n" + ThresholdTable(summary) + "<h2>Most common explanations</h2>\n";
    for (std::size_t i : summary.RulesByFailures()) out += CommonExplanations(rules[i], summary.Tallies[i]);
    return out + Fallbacks(rules, summary) + Problems(rules, summary) + "</section>\n</main></body></html>\n";
  }

 private:
  std::string RuleRow(const SRule& rule, const SBatchSummary& summary, std::size_t i) {
    const std::string id = Escaped(Codec.FromGbk(rule.GbkId));
    std::string row = "<tr id=\"rule-" + id + "\">" + Cell(id);
    if (!summary.AnalysisErrors[i].empty()) {
      return row + "<td colspan=\"5\">not analysed: " + Escaped(Codec.FromGbk(summary.AnalysisErrors[i])) +
             "</td></tr>\n";
    }
    const SRuleTally& t = summary.Tallies[i];
    const std::uint64_t all = t.Held + t.Failed + t.Errors;
    row += "<td><div class=\"bar\"><span class=\"held\" style=\"width:" + Percent(t.Held, all) +
           "%\"></span><span class=\"failed\" style=\"width:" + Percent(t.Failed, all) +
           "%\"></span><span class=\"error\" style=\"width:" + Percent(t.Errors, all) + "%\"></span></div></td>";
    row += Cell(std::to_string(t.Held), "n held-count") + Cell(std::to_string(t.Failed), "n failed-count") +
           Cell(std::to_string(t.Errors), "n error-count");
    return row + Cell(Escaped(Codec.FromGbk(rule.GbkDescription))) + "</tr>\n";
  }

  // The thresholds, crossed or within, when the run has any.
  std::string ThresholdTable(const SBatchSummary& summary) {
    if (summary.Thresholds.empty()) return {};
    std::string out = "<h2>Thresholds</h2>\n<table id=\"thresholds\"><tbody>\n";
    for (const SThresholdCheck& check : summary.Thresholds) {
      const char* state = check.Crossed ? "crossed" : "within";
      out += std::string("<tr class=\"") + state + "\">" + Cell(state) + Cell(Escaped(Codec.FromGbk(check.GbkSetting))) +
             Cell(ThresholdFinding(check)) + "</tr>\n";
    }
    return out + "</tbody></table>\n";
  }

  // Where the rules' runs fell back, rule by rule in file order.
  std::string Fallbacks(const std::vector<SRule>& rules, const SBatchSummary& summary) {
    std::string rows;
    for (std::size_t i = 0; i < summary.Tallies.size() && i < rules.size(); ++i) {
      for (const SNoteTally& note : summary.Tallies[i].Notes) {
        rows += "<tr>" + Cell(Escaped(Codec.FromGbk(rules[i].GbkId))) +
                Cell(Escaped(Codec.FromGbk(DescribeNoteTally(note)))) + "</tr>\n";
      }
    }
    return rows.empty() ? rows : "<h2>Fallbacks</h2>\n<table id=\"fallbacks\"><tbody>\n" + rows + "</tbody></table>\n";
  }

  // What was found before the first row: kind, rule and the message as standard error showed it.
  std::string Problems(const std::vector<SRule>& rules, const SBatchSummary& summary) {
    std::string rows;
    for (const SProblem& problem : summary.Problems) {
      const bool ofRule = problem.Rule && *problem.Rule < rules.size();
      rows += std::string("<tr class=\"") + ProblemKindWord(problem.Kind) + "\">" + Cell(ProblemKindWord(problem.Kind)) +
              Cell(ofRule ? Escaped(Codec.FromGbk(rules[*problem.Rule].GbkId)) : "") + "<td><pre>" +
              EscapedLines(Codec.FromGbk(problem.GbkText)) + "</pre></td></tr>\n";
    }
    return rows.empty() ? rows : "<h2>Problems</h2>\n<table id=\"problems\"><tbody>\n" + rows + "</tbody></table>\n";
  }

  std::string CommonExplanations(const SRule& rule, const SRuleTally& tally) {
    if (tally.NotHeld() == 0) return {};
    std::string out = "<h3>" + Escaped(Codec.FromGbk(rule.GbkId)) + "</h3><table>";
    for (const auto& [text, times] : tally.MostCommon(kCommonExplanations)) {
      out += "<tr>" + Cell(std::to_string(times), "n") + Cell(Escaped(Codec.FromGbk(text))) + "</tr>";
    }
    return out + "</table>\n";
  }

  SReportLayout Layout;
  TTextCodec Codec;
};

}  // namespace

std::unique_ptr<TReport> MakeHtmlReport(const SReportLayout& layout) { return std::make_unique<THtmlReport>(layout); }

}  // namespace rulecalc::batch
