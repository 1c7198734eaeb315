#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BatchTestSupport.h"
#include "batch/ExplainedValues.h"
#include "batch/Failures.h"
#include "batch/Report.h"
#include "batch/Thresholds.h"

namespace rulecalc::batch {
namespace {

using testing::Gbk;

SRule RuleWithId(const std::string& utf8Id) {
  SRule rule;
  rule.Id = utf8Id;
  rule.GbkId = Gbk(utf8Id);
  return rule;
}

SReportLayout Layout(EMReportFormat format, int idColumns = 4) {
  SReportLayout layout;
  layout.Format = format;
  layout.Encoding = "UTF-8";
  layout.IdColumns = idColumns;
  return layout;
}

std::string Verdict(EMReportFormat format, const SRule& rule, EMOutcome outcome, const std::string& utf8Text,
                    int idColumns = 4, const std::string& key = "") {
  SReportLayout layout = Layout(format, idColumns);
  const std::string gbkKey = Gbk(key);
  layout.GbkKeyName = key.empty() ? "" : "ID";
  layout.ShowValues = !key.empty();
  std::unique_ptr<TReport> report = MakeReport(layout);
  const SEvaluation evaluation{outcome, Gbk(utf8Text), {}, {}, {}};
  SVerdict verdict;
  verdict.Row = 7;
  verdict.GbkKey = key.empty() ? nullptr : &gbkKey;
  verdict.Rule = &rule;
  verdict.Evaluation = &evaluation;
  if (!key.empty()) verdict.GbkNamedValues = {{"A", "5"}, {Gbk("城"), Gbk("北京\r\n1")}};
  verdict.GbkValues = JoinedValues(verdict.GbkNamedValues);
  std::string out;
  report->AddVerdict(out, verdict);
  return out;
}

TEST(CsvReport, QuotesFieldsThatNeedItAndEndsRecordsWithCrLf) {
  const SRule rule = RuleWithId("r,1");
  EXPECT_EQ(Verdict(EMReportFormat::Csv, rule, EMOutcome::Failed, "A::\"x\"=中;"),
            "7,\"r,1\",false,\"A::\"\"x\"\"=中;\"\r\n");
  EXPECT_EQ(Verdict(EMReportFormat::Csv, RuleWithId("ok"), EMOutcome::Held, ""), "7,ok,true,\r\n");
}

// The key's cell of a true verdict in a CSV report.
std::string CsvKeyCell(const std::string& key, bool rawCells) {
  SReportLayout layout = Layout(EMReportFormat::Csv);
  layout.GbkKeyName = "ID";
  layout.RawCells = rawCells;
  const SRule rule = RuleWithId("r");
  const SEvaluation held{EMOutcome::Held, "", {}, {}, {}};
  SVerdict verdict;
  verdict.Row = 7;
  verdict.GbkKey = &key;
  verdict.Rule = &rule;
  verdict.Evaluation = &held;
  std::string out;
  MakeReport(layout)->AddVerdict(out, verdict);
  const std::string rest = ",r,true,\r\n";
  return out.substr(2, out.size() - 2 - rest.size());
}

// A spreadsheet runs a cell that starts with =, +, -, @, a tab or a carriage
// return as a formula: such a cell gets a leading ' inside its quotes, unless
// it is a plain number.
TEST(CsvReport, CellsThatLookLikeFormulasAreKeptAsText) {
  const struct {
    const char* Key;
    const char* Cell;
    const char* RawCell;
  } cases[] = {
      {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"",
       "\"=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
      {"+cmd|' /C calc'!A0", "\"'+cmd|' /C calc'!A0\"", "+cmd|' /C calc'!A0"},
      {"-2+3+cmd|x", "\"'-2+3+cmd|x\"", "-2+3+cmd|x"},
      {"@SUM(A1)", "\"'@SUM(A1)\"", "@SUM(A1)"},
      {"\t=1", "\"'\t=1\"", "\t=1"},
      {"\r=1", "\"'\r=1\"", "\"\r=1\""},
      {"-", "\"'-\"", "-"},
      {"-5", "-5", "-5"},
      {"+2.5", "+2.5", "+2.5"},
      {"a=b", "a=b", "a=b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CsvKeyCell(c.Key, false), c.Cell);
    EXPECT_EQ(CsvKeyCell(c.Key, true), c.RawCell);
  }
  SReportLayout layout = Layout(EMReportFormat::Csv);
  layout.GbkKeyName = "=ID";
  EXPECT_EQ(MakeReport(layout)->Heading(), "row,\"'=ID\",rule,result,explanation\r\n");
  EXPECT_EQ(Verdict(EMReportFormat::Csv, RuleWithId("@r"), EMOutcome::Held, ""), "7,\"'@r\",true,\r\n");
}

TEST(Reports, ValuesOfTheVariablesAnExplanationNames) {
  std::vector<SColumn> columns(3);
  columns[0].GbkName = "AGE";
  columns[1].GbkName = "score";
  columns[2].GbkName = "BORN";
  columns[2].Date = SDateReading{};
  const std::vector<std::string> values{"16", "50", "45296"};
  const std::vector<std::string> written{"16", "50", "2024-01-05"};
  EXPECT_EQ(ExplainedValues("SCORE,AGE::A;AGE::B;", columns, values, written), "SCORE=50, AGE=16");
  EXPECT_EQ(ExplainedValues("NOBODY::N;", columns, values, written), "");
  EXPECT_EQ(ExplainedValues("BORN::B;", columns, values, written), "BORN=2024-01-05");
}

TEST(Reports, KeyAndValuesInEveryFormat) {
  const SRule rule = RuleWithId("r");
  EXPECT_EQ(Verdict(EMReportFormat::Csv, rule, EMOutcome::Failed, "A::A>9;", 4, "张"),
            "7,张,r,false,A::A>9;,\"A=5, 城=北京\r\n1\"\r\n");
  EXPECT_EQ(Verdict(EMReportFormat::JsonLines, rule, EMOutcome::Failed, "A::A>9;", 4, "张"),
            "{\"row\":7,\"key\":\"张\",\"rule\":\"r\",\"result\":\"false\",\"explanation\":\"A::A>9;\","
            "\"values\":{\"A\":\"5\",\"城\":\"北京\\u000d\\u000a1\"}}\n");
  EXPECT_EQ(Verdict(EMReportFormat::Text, rule, EMOutcome::Failed, "A::A>9;", 4, "张"),
            "7       张          r     false   A::A>9;  [A=5, 城=北京\\x0D\\x0A1]\n");
  EXPECT_EQ(Verdict(EMReportFormat::Html, rule, EMOutcome::Failed, "A::A<\"&\";", 4, "张"),
            "<tr class=\"false\"><td class=\"n\">7</td><td>张</td><td>r</td><td>false</td>"
            "<td>A::A&lt;&quot;&amp;&quot;;</td><td>A=5, 城=北京 1</td></tr>\n");
}

TEST(JsonLinesReport, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(Verdict(EMReportFormat::JsonLines, RuleWithId("名"), EMOutcome::Failed, "A::\"a\\b\"\tx"),
            "{\"row\":7,\"rule\":\"名\",\"result\":\"false\",\"explanation\":\"A::\\\"a\\\\b\\\"\\u0009x\"}\n");
  EXPECT_EQ(Verdict(EMReportFormat::JsonLines, RuleWithId("r"), EMOutcome::RunError, "m"),
            "{\"row\":7,\"rule\":\"r\",\"result\":\"error\",\"explanation\":\"m\"}\n");
}

TEST(TextReport, LinesUpRuleIdsByTerminalColumns) {
  EXPECT_EQ(Verdict(EMReportFormat::Text, RuleWithId("年龄"), EMOutcome::Failed, "A::A>1;", 6),
            "7       年龄    false   A::A>1;\n");
  EXPECT_EQ(Verdict(EMReportFormat::Text, RuleWithId("age"), EMOutcome::Held, "", 6), "7       age     true\n");
}

// Keys, rule ids, explanations and values cannot drive the terminal.
TEST(TextReport, ShowsControlCharactersAsHex) {
  EXPECT_EQ(Verdict(EMReportFormat::Text, RuleWithId("r\x1B[2J"), EMOutcome::Failed, "A::A>\"\x07\";", 8, "\x1B]0;t\x07"),
            "7       \\x1B]0;t\\x07  r\\x1B[2J  false   A::A>\"\\x07\";  [A=5, 城=北京\\x0D\\x0A1]\n");
}

SRuleTally TallyOf(std::uint64_t held, const std::vector<SEvaluation>& notHeld) {
  SRuleTally tally;
  tally.Held = held;
  for (const SEvaluation& evaluation : notHeld) tally.Count(evaluation);
  return tally;
}

TEST(Summaries, RulesByFailuresWithTheMostCommonExplanations) {
  const std::vector<SRule> rules{RuleWithId("a"), RuleWithId("b"), RuleWithId("c")};
  const SEvaluation x{EMOutcome::Failed, "X::X>1;", {}, {}, {}};
  const SEvaluation y{EMOutcome::Failed, "Y::Y>1;", {}, {}, {}};
  SBatchSummary summary;
  summary.Tallies = {TallyOf(1, {}), TallyOf(0, {y, x, x}), TallyOf(1, {})};
  summary.AnalysisErrors = {"", "", ""};
  summary.RowsEvaluated = 1;
  EXPECT_EQ(TextSummary(rules, summary, Layout(EMReportFormat::Text)),
            "summary: 1 row evaluated, 0 skipped as malformed\n"
            "rule      held    failed    errors\n"
            "b            0         3         0\n"
            "a            1         0         0\n"
            "c            1         0         0\n"
            "most common explanations:\n"
            "b:\n"
            "         2x  X::X>1;\n"
            "         1x  Y::Y>1;\n");
}

TEST(Summaries, CountPerRuleAndNameRulesThatDidNotAnalyse) {
  const std::vector<SRule> rules{RuleWithId("a"), RuleWithId("b")};
  SBatchSummary summary;
  const SEvaluation failed{EMOutcome::Failed, "F", {}, {}, {}};
  const SEvaluation error{EMOutcome::RunError, "E", {}, {}, {}};
  summary.Tallies = {TallyOf(3, {failed, failed, error}), SRuleTally{}};
  summary.AnalysisErrors = {"", Gbk("表达式语法错误!")};
  summary.RowsEvaluated = 6;
  summary.RowsSkipped = 1;
  const std::string expected =
      "summary: 6 rows evaluated, 1 skipped as malformed\n"
      "rule      held    failed    errors\n"
      "a            3         2         1\n"
      "b     not analysed: 表达式语法错误!\n";
  EXPECT_EQ(TextSummary(rules, summary, Layout(EMReportFormat::Text)).substr(0, expected.size()), expected);
  std::unique_ptr<TReport> json = MakeReport(Layout(EMReportFormat::JsonLines));
  EXPECT_EQ(json->Summary(rules, summary),
            "{\"summary\":{\"rule\":\"a\",\"held\":3,\"failed\":2,\"errors\":1}}\n"
            "{\"summary\":{\"rule\":\"b\",\"analysis_error\":\"表达式语法错误!\"}}\n"
            "{\"summary\":{\"rows_evaluated\":6,\"rows_skipped\":1}}\n");
  EXPECT_EQ(MakeReport(Layout(EMReportFormat::Csv))->Summary(rules, summary), "");
  EXPECT_TRUE(summary.AnyRuleError());
}

TEST(Thresholds, CrossedOnlyWhenMoreRowsFailedThanTheLimitAllows) {
  const struct {
    const char* Limit;
    std::uint64_t Failed;
    std::uint64_t Rows;
    bool Crossed;
  } cases[] = {{"5", 5, 100, false},     {"5", 6, 100, true},       {"0", 1, 100, true},      {"0", 0, 100, false},
               {"1%", 1, 100, false},    {"1%", 2, 100, true},      {"0.25%", 1, 400, false}, {"0.25%", 2, 400, true},
               {"0%", 0, 10, false},     {"0%", 1, 10, true},       {"100%", 10, 10, false},  {"33.3333%", 1, 3, true},
               // Products past 64 bits: exactly half of 2^62 rows, and one row more.
               {"50%", std::uint64_t{1} << 61, std::uint64_t{1} << 62, false},
               {"50%", (std::uint64_t{1} << 61) + 1, std::uint64_t{1} << 62, true}};
  for (const auto& c : cases) {
    SBatchSummary summary;
    summary.Tallies.resize(1);
    summary.Tallies[0].Held = c.Rows - c.Failed;
    summary.Tallies[0].Failed = c.Failed;
    const SThreshold limit{"", EMFailOn::Never, 0, ReadFailedLimit(c.Limit, "--max-failed a")};
    EXPECT_EQ(CheckThresholds({limit}, summary).at(0).Crossed, c.Crossed) << c.Limit << " " << c.Failed << "/" << c.Rows;
  }
  for (const char* bad : {"", "-1", "1.5", "x", "101%", "1.23456%", "%", "1e3"}) {
    EXPECT_THROW(ReadFailedLimit(bad, "--max-failed a"), TUsageError) << bad;
  }
}

TEST(Summaries, MarkTheThresholdsCrossedInEveryFormat) {
  const std::vector<SRule> rules{RuleWithId("a"), RuleWithId("b")};
  SBatchSummary summary;
  const SEvaluation failed{EMOutcome::Failed, "F", {}, {}, {}};
  summary.Tallies = {TallyOf(1, {failed, failed}), TallyOf(3, {})};
  summary.AnalysisErrors = {"", ""};
  summary.RowsEvaluated = 3;
  const std::vector<SThreshold> thresholds{
      {"--fail-on error", EMFailOn::Error, 0, {}},
      {"--max-failed a=50%", EMFailOn::Never, 0, ReadFailedLimit("50%", "")},
      {"@max-failed b 0", EMFailOn::Never, 1, ReadFailedLimit("0", "")}};
  summary.Thresholds = CheckThresholds(thresholds, summary);
  EXPECT_TRUE(summary.AnyThresholdCrossed());
  EXPECT_NE(TextSummary(rules, summary, Layout(EMReportFormat::Text))
                .find("thresholds:\n"
                      "  within   --fail-on error: 0 of 6 verdicts were errors\n"
                      "  crossed  --max-failed a=50%: 2 of 3 rows failed\n"
                      "  within   @max-failed b 0: 0 of 3 rows failed\n"),
            std::string::npos);
  EXPECT_EQ(MakeReport(Layout(EMReportFormat::JsonLines))->Summary(rules, summary),
            "{\"summary\":{\"rule\":\"a\",\"held\":1,\"failed\":2,\"errors\":0,\"max_failed\":\"50%\",\"max_failed_crossed\":true}}\n"
            "{\"summary\":{\"rule\":\"b\",\"held\":3,\"failed\":0,\"errors\":0,\"max_failed\":\"0\",\"max_failed_crossed\":false}}\n"
            "{\"summary\":{\"rows_evaluated\":3,\"rows_skipped\":0,\"fail_on\":\"error\",\"fail_on_crossed\":false}}\n");
  EXPECT_NE(MakeReport(Layout(EMReportFormat::Html))->Summary(rules, summary)
                .find("<tr class=\"crossed\"><td>crossed</td><td>--max-failed a=50%</td><td>2 of 3 rows failed</td></tr>"),
            std::string::npos);
}

// What was found before the first row, and where a rule's run fell back,
// in each format's own place; a warning spans lines with its caret.
TEST(Summaries, ShowTheProblemsInEveryFormat) {
  const std::vector<SRule> rules{RuleWithId("a"), RuleWithId("=b")};
  SBatchSummary summary;
  summary.Tallies.resize(2);
  SNoteTally note;
  note.Rows = 2;
  note.FirstRow = 4;
  note.Message = "TODATE could not read D";
  note.Value = "x";
  note.Reason = "expected m/d/y";
  summary.Tallies[1].CountNote(note);
  summary.AnalysisErrors = {"", ""};
  summary.Problems = {{EMProblemKind::Column, std::nullopt, Gbk("d.csv: column 名 is read as text\n")},
                      {EMProblemKind::Warning, 1, Gbk("r:2: rule =b: warning: 比较\n  A < \"1\";\n    ^\n")}};
  const struct {
    EMReportFormat Format;
    const char* Shown;
  } cases[] = {
      {EMReportFormat::Text, "problems:\n  d.csv: column 名 is read as text\n  r:2: rule =b: warning: 比较\n    A < \"1\";\n      ^\n"},
      {EMReportFormat::JsonLines, "{\"problem\":{\"kind\":\"column\",\"message\":\"d.csv: column 名 is read as text\"}}\n"
                                  "{\"problem\":{\"kind\":\"warning\",\"rule\":\"=b\",\"message\":\"r:2: rule =b: warning: "
                                  "比较\\u000a  A < \\\"1\\\";\\u000a    ^\"}}\n{\"summary\":{\"rule\":\"a\""},
      {EMReportFormat::Html, "<h2>Problems</h2>\n<table id=\"problems\"><tbody>\n<tr class=\"column\"><td>column</td><td></td>"
                             "<td><pre>d.csv: column 名 is read as text</pre></td></tr>\n<tr class=\"warning\"><td>warning</td>"
                             "<td>=b</td><td><pre>r:2: rule =b: warning: 比较\n  A &lt; &quot;1&quot;;\n    ^</pre></td></tr>\n"},
  };
  for (const auto& c : cases) {
    const std::string shown = MakeReport(Layout(c.Format))->Summary(rules, summary);
    EXPECT_NE(shown.find(c.Shown), std::string::npos) << shown;
  }
  EXPECT_EQ(NotesCsv(rules, summary, Layout(EMReportFormat::Csv)),
            "kind,rule,rows,first_row,message\r\n"
            "column,,,,d.csv: column 名 is read as text\r\n"
            "warning,\"'=b\",,,\"r:2: rule =b: warning: 比较\n  A < \"\"1\"\";\n    ^\"\r\n"
            "note,\"'=b\",2,4,\"2 rows, TODATE could not read D, e.g. row 4 'x': expected m/d/y\"\r\n");
}

}  // namespace
}  // namespace rulecalc::batch
