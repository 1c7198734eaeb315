#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rulecalc::cli {

// One expectation of a tests file as the engine compared it.
struct STestOutcome {
  std::uint64_t Row = 0;
  std::uint64_t Line = 0;
  std::string Key;
  std::string Rule;
  std::string Expected;
  std::string WantedText;
  std::string Got;
  std::string Explanation;
  bool Held = false;
};

// The expectations of one tests file; Error says why none could be
// compared (the rules cannot run on its columns), empty otherwise.
struct STestSuite {
  std::string Path;
  std::vector<STestOutcome> Outcomes;
  std::string Error;
};

// "expected false, got true" ("expected an explanation with 'X'", ...).
std::string MismatchText(const STestOutcome& outcome);

// The lines for a person: each expectation that did not hold (the file's
// line, row, key, rule, what was expected and got, the explanation), then
// how many held.
std::string TestReportText(const STestSuite& suite);

// JUnit XML for CI servers: a testsuite per tests file, a testcase per
// expectation, a failure per one that did not hold; texts in encoding.
std::string JUnitXml(const std::vector<STestSuite>& suites, const std::string& encoding);

}  // namespace rulecalc::cli
