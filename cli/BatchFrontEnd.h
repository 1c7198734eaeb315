#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace rulecalc::cli {

// A `rulecalc batch` as asked for on the command line.
struct SBatchRequest {
  std::string RulesPath;
  std::string DataPath;    // "-" for standard input
  std::string OutputPath;  // empty for standard output
  std::size_t Jobs = 1;
  std::string FailedRowsPath;  // empty for none
  std::string NotesPath;       // where the problems and fallbacks go as CSV; empty for none
  std::vector<std::pair<std::string, std::string>> EngineOptions;  // the engine's option names and values
};

// Runs the batch engine and puts its report where it is asked to go: the
// inputs are never overwritten, a file is replaced only once the report is
// complete, diagnostics and the progress bar go to standard error. Returns
// the exit status (0, 1, 2, 3); throws TUsageError for unusable input,
// TOutputError when the report cannot be written, TMemoryError when memory
// runs out.
int RunBatchRequest(const SBatchRequest& request);

// Checks the request's rules against its data's columns without evaluating
// a row: the findings go to standard error, "ok" to standard output when
// every rule can run. Returns the exit status (0, 2); throws as
// RunBatchRequest does.
int RunCheckRequest(const SBatchRequest& request);

// A `rulecalc test`: the rules, the tests files and where JUnit XML goes.
struct STestRequest {
  std::string RulesPath;
  std::vector<std::string> TestsPaths;
  std::string JUnitPath;       // empty for none
  std::string OutputEncoding;  // of the JUnit XML, as of every text
  std::vector<std::pair<std::string, std::string>> EngineOptions;
};

// Runs every expectation of every tests file against the rules: the ones
// that do not hold and a count per file to standard output, the findings
// to standard error, JUnit XML to its file (replaced once complete, never
// an input). Returns the exit status (0, 1, 2, 3; the highest of the
// files'); throws as RunBatchRequest does.
int RunTestRequest(const STestRequest& request);

}  // namespace rulecalc::cli
