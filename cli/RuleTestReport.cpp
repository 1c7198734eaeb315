#include "RuleTestReport.h"

#include <algorithm>

namespace rulecalc::cli {

namespace {

std::size_t Failures(const STestSuite& suite) {
  return static_cast<std::size_t>(
      std::count_if(suite.Outcomes.begin(), suite.Outcomes.end(), [](const STestOutcome& outcome) { return !outcome.Held; }));
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string Attribute(const char* name, const std::string& value) { return std::string(" ") + name + "=\"" + Escaped(value) + "\""; }

std::string Attribute(const char* name, std::size_t value) { return Attribute(name, std::to_string(value)); }

// "row 3 (A0003) income": where the expectation is, as a CI server lists it.
std::string CaseName(const STestOutcome& outcome) {
  std::string name = "row " + std::to_string(outcome.Row);
  if (!outcome.Key.empty()) name += " (" + outcome.Key + ")";
  return outcome.Rule.empty() ? name : name + " " + outcome.Rule;
}

std::string TestCaseXml(const std::string& path, const STestOutcome& outcome) {
  std::string xml = "    <testcase" + Attribute("classname", path) + Attribute("name", CaseName(outcome)) + Attribute("time", "0");
  if (outcome.Held) return xml + "/>\n";
  return xml + ">\n      <failure" + Attribute("message", MismatchText(outcome)) + Attribute("type", "expectation") + ">" +
         Escaped(outcome.Explanation) + "</failure>\n    </testcase>\n";
}

std::string TestSuiteXml(const STestSuite& suite) {
  const bool broken = !suite.Error.empty();
  std::string xml = "  <testsuite" + Attribute("name", suite.Path) + Attribute("tests", suite.Outcomes.size() + (broken ? 1 : 0)) +
                    Attribute("failures", Failures(suite)) + Attribute("errors", broken ? 1 : 0) +
                    Attribute("skipped", std::size_t{0}) + Attribute("time", "0") + ">\n";
  for (const STestOutcome& outcome : suite.Outcomes) xml += TestCaseXml(suite.Path, outcome);
  if (broken) {
    xml += "    <testcase" + Attribute("classname", suite.Path) + Attribute("name", "the rules") + Attribute("time", "0") +
           ">\n      <error" + Attribute("message", suite.Error) + Attribute("type", "rules") + "/>\n    </testcase>\n";
  }
  return xml + "  </testsuite>\n";
}

}  // namespace

std::string MismatchText(const STestOutcome& outcome) {
  if (outcome.Got == "skipped") return "the row was skipped";
  std::string expected = outcome.Expected;
  if (!outcome.WantedText.empty()) {
    expected += (expected.empty() ? "an explanation with '" : " with '") + outcome.WantedText + "'";
    if (!outcome.Expected.empty()) expected += " in the explanation";
  }
  return "expected " + expected + ", got " + outcome.Got;
}

std::string TestReportText(const STestSuite& suite) {
  std::string text;
  for (const STestOutcome& outcome : suite.Outcomes) {
    if (outcome.Held) continue;
    text += suite.Path + ":" + std::to_string(outcome.Line) + ": row " + std::to_string(outcome.Row);
    if (!outcome.Key.empty()) text += ", key " + outcome.Key;
    if (!outcome.Rule.empty()) text += ", rule " + outcome.Rule;
    text += ": " + MismatchText(outcome) + "\n";
    if (!outcome.Explanation.empty()) text += "  explanation: " + outcome.Explanation + "\n";
  }
  const std::size_t held = suite.Outcomes.size() - Failures(suite);
  return text + suite.Path + ": " + std::to_string(held) + " of " + std::to_string(suite.Outcomes.size()) +
         (suite.Outcomes.size() == 1 ? " expectation held\n" : " expectations held\n");
}

std::string JUnitXml(const std::vector<STestSuite>& suites, const std::string& encoding) {
  std::size_t tests = 0;
  std::size_t failures = 0;
  std::size_t errors = 0;
  for (const STestSuite& suite : suites) {
    errors += suite.Error.empty() ? 0 : 1;
    tests += suite.Outcomes.size() + (suite.Error.empty() ? 0 : 1);
    failures += Failures(suite);
  }
  std::string xml = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<testsuites" + Attribute("name", "rulecalc test") +
                    Attribute("tests", tests) + Attribute("failures", failures) + Attribute("errors", errors) + ">\n";
  for (const STestSuite& suite : suites) xml += TestSuiteXml(suite);
  return xml + "</testsuites>\n";
}

}  // namespace rulecalc::cli
