#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CliTestSupport.h"
#include "batch/Report.h"

namespace rulecalc::cli {
namespace {

using testing::Gbk;

SRule RuleWithId(const std::string& utf8Id) {
  SRule rule;
  rule.Id = utf8Id;
  rule.GbkId = Gbk(utf8Id);
  return rule;
}

std::string Verdict(EMReportFormat format, const SRule& rule, EMOutcome outcome, const std::string& utf8Text,
                    int idColumns = 4) {
  std::unique_ptr<TReport> report = MakeReport(format, "UTF-8", idColumns);
  std::string out;
  report->AddVerdict(out, 7, rule, SEvaluation{outcome, Gbk(utf8Text), {}});
  return out;
}

TEST(CsvReport, QuotesFieldsThatNeedItAndEndsRecordsWithCrLf) {
  const SRule rule = RuleWithId("r,1");
  EXPECT_EQ(Verdict(EMReportFormat::Csv, rule, EMOutcome::Failed, "A::\"x\"=中;"),
            "7,\"r,1\",false,\"A::\"\"x\"\"=中;\"\r\n");
  EXPECT_EQ(Verdict(EMReportFormat::Csv, RuleWithId("ok"), EMOutcome::Held, ""), "7,ok,true,\r\n");
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

TEST(Summaries, CountPerRuleAndNameRulesThatDidNotAnalyse) {
  const std::vector<SRule> rules{RuleWithId("a"), RuleWithId("b")};
  SBatchSummary summary;
  summary.Tallies = {SRuleTally{3, 2, 1}, SRuleTally{}};
  summary.AnalysisErrors = {"", Gbk("表达式语法错误!")};
  summary.RowsEvaluated = 6;
  summary.RowsSkipped = 1;
  EXPECT_EQ(TextSummary(rules, summary, "UTF-8", 4),
            "summary: 6 rows evaluated, 1 skipped as malformed\n"
            "rule      held    failed    errors\n"
            "a            3         2         1\n"
            "b     not analysed: 表达式语法错误!\n");
  std::unique_ptr<TReport> json = MakeReport(EMReportFormat::JsonLines, "UTF-8", 4);
  EXPECT_EQ(json->Summary(rules, summary),
            "{\"summary\":{\"rule\":\"a\",\"held\":3,\"failed\":2,\"errors\":1}}\n"
            "{\"summary\":{\"rule\":\"b\",\"analysis_error\":\"表达式语法错误!\"}}\n"
            "{\"summary\":{\"rows_evaluated\":6,\"rows_skipped\":1}}\n");
  EXPECT_EQ(MakeReport(EMReportFormat::Csv, "UTF-8", 4)->Summary(rules, summary), "");
  EXPECT_TRUE(summary.AnyRuleError());
}

}  // namespace
}  // namespace rulecalc::cli
