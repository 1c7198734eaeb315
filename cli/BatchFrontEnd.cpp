#include "BatchFrontEnd.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>

#include "Progress.h"
#include "RuleTestReport.h"
#include "Failures.h"
#include "io/ReportSink.h"
#include "io/SameFile.h"
#include "rulecalc_batch.h"

namespace rulecalc::cli {

namespace {

struct SBatchFree {
  void operator()(rulecalc_batch* batch) const { rulecalc_batch_free(batch); }
};

// What the engine's callbacks share: the report's place, the progress bar
// and the first failure of the tool's own (which stops the engine).
struct SBatchHost {
  rulecalc_batch* Batch = nullptr;
  std::string OutputPath;
  std::unique_ptr<TReportSink> Sink;
  std::unique_ptr<TReportSink> FailedRows;
  std::unique_ptr<TProgressBar> Bar;
  int BarPhase = -1;
  std::exception_ptr Failure;

  // Diagnostics so far to standard error, the bar out of their way.
  void ShowDiagnostics() {
    const std::size_t count = rulecalc_batch_diagnostic_count(Batch);
    if (count == 0) return;
    if (Bar) Bar->Clear();
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t length = 0;
      const char* text = rulecalc_batch_diagnostic(Batch, i, &length);
      std::fputs("rulecalc: ", stderr);
      std::fwrite(text, 1, length, stderr);
    }
    rulecalc_batch_clear_diagnostics(Batch);
  }
};

int WriteReport(void* context, const char* bytes, std::size_t length) {
  auto& host = *static_cast<SBatchHost*>(context);
  try {
    host.ShowDiagnostics();
    if (!host.Sink) host.Sink = std::make_unique<TReportSink>(host.OutputPath);
    host.Sink->Write(std::string(bytes, length));
    return 0;
  } catch (...) {
    host.Failure = std::current_exception();
    return 1;
  }
}

int WriteFailedRows(void* context, const char* bytes, std::size_t length) {
  auto& host = *static_cast<SBatchHost*>(context);
  try {
    host.FailedRows->Write(std::string(bytes, length));
    return 0;
  } catch (...) {
    host.Failure = std::current_exception();
    return 1;
  }
}

int ShowProgress(void* context, int phase, std::uint64_t done, std::uint64_t total, std::uint64_t rows) {
  auto& host = *static_cast<SBatchHost*>(context);
  try {
    host.ShowDiagnostics();
    if (phase != host.BarPhase) {
      host.Bar.reset();
      host.Bar = std::make_unique<TProgressBar>(phase == 0 ? "reading   " : "evaluating", total,
                                                ProgressWanted(host.OutputPath.empty()));
      host.BarPhase = phase;
    }
    host.Bar->Update(done, rows);
    return 0;
  } catch (...) {
    host.Failure = std::current_exception();
    return 1;
  }
}

void RefuseOverwritingInputs(const SBatchRequest& request) {
  const bool toStandardOutput = request.OutputPath.empty();
  RefuseOverwriting(request.OutputPath, request.RulesPath, "the rules file");
  if (toStandardOutput) RefuseReportingInto(request.RulesPath, "the rules file");
  if (request.DataPath == "-") {
    RefuseOverwritingStandardInput(request.OutputPath, "the data file");
    return;
  }
  RefuseOverwriting(request.OutputPath, request.DataPath, "the data file");
  if (toStandardOutput) RefuseReportingInto(request.DataPath, "the data file");
}

// The failed rows and the notes are outputs of their own: never an input,
// never the report, never each other.
void RefuseSecondOutputOverInputs(const SBatchRequest& request, const std::string& path, const std::string& option,
                                  const std::string& what) {
  if (path.empty()) return;
  RefuseOverwriting(path, request.RulesPath, "the rules file");
  if (request.DataPath == "-") {
    RefuseOverwritingStandardInput(path, "the data file");
  } else {
    RefuseOverwriting(path, request.DataPath, "the data file");
  }
  if (path == request.OutputPath) {
    throw TUsageError(option + " '" + path + "' is the report's --output; choose another file, nothing was written");
  }
  RefuseOverwriting(path, request.OutputPath, "the report");
  if (request.OutputPath.empty()) RefuseReportingInto(path, what);
}

void RefuseSecondOutputsOverInputs(const SBatchRequest& request) {
  RefuseSecondOutputOverInputs(request, request.FailedRowsPath, "--failed-rows", "the failed rows' file");
  RefuseSecondOutputOverInputs(request, request.NotesPath, "--notes", "the notes file");
  if (request.NotesPath.empty() || request.FailedRowsPath.empty()) return;
  if (request.NotesPath == request.FailedRowsPath) {
    throw TUsageError("--notes '" + request.NotesPath + "' is the --failed-rows file; choose another file, nothing was written");
  }
  RefuseOverwriting(request.NotesPath, request.FailedRowsPath, "the failed rows' file");
}

// Turns an engine status into the tool's failure, after the diagnostics
// that came before it. A batch that cannot run is no failure of the tool's:
// false then, with the engine's message shown.
bool Require(rulecalc_batch_status status, SBatchHost& host) {
  host.ShowDiagnostics();
  if (status == RULECALC_BATCH_OK) return true;
  if (status == RULECALC_BATCH_STOPPED && host.Failure) std::rethrow_exception(host.Failure);
  const std::string message = rulecalc_batch_message(host.Batch, nullptr);
  if (status == RULECALC_BATCH_OUT_OF_MEMORY) throw std::bad_alloc();
  if (status != RULECALC_BATCH_CANNOT_RUN) throw TUsageError(message);
  std::fprintf(stderr, "rulecalc: %s\n", message.c_str());
  return false;
}

// The engine with the request's options, rules and data.
std::unique_ptr<rulecalc_batch, SBatchFree> Opened(const SBatchRequest& request, SBatchHost& host) {
  std::unique_ptr<rulecalc_batch, SBatchFree> batch(rulecalc_batch_new());
  if (!batch) throw std::bad_alloc();
  host.Batch = batch.get();
  host.OutputPath = request.OutputPath;
  for (const auto& [name, value] : request.EngineOptions) {
    Require(rulecalc_batch_set_option(host.Batch, name.c_str(), value.c_str()), host);
  }
  Require(rulecalc_batch_read_rules(host.Batch, request.RulesPath.c_str()), host);
  Require(rulecalc_batch_add_data(host.Batch, request.DataPath.c_str()), host);
  return batch;
}

// The run's problems and fallbacks as CSV, once the report is in place.
void WriteNotes(const std::string& path, SBatchHost& host) {
  if (path.empty()) return;
  const char* bytes = nullptr;
  std::size_t length = 0;
  Require(rulecalc_batch_notes(host.Batch, &bytes, &length), host);
  TReportSink notes(path);
  notes.Write(std::string(bytes, length));
  notes.Commit();
}

int RunSteps(const SBatchRequest& request) {
  RefuseOverwritingInputs(request);
  RefuseSecondOutputsOverInputs(request);
  SBatchHost host;
  const auto batch = Opened(request, host);
  if (!request.FailedRowsPath.empty()) {
    host.FailedRows = std::make_unique<TReportSink>(request.FailedRowsPath);
    Require(rulecalc_batch_failed_rows_writer(host.Batch, WriteFailedRows, &host), host);
  }
  if (!Require(rulecalc_batch_run(host.Batch, request.Jobs, WriteReport, ShowProgress, &host), host)) {
    return rulecalc_batch_exit_status(host.Batch);
  }
  host.Bar.reset();
  host.Sink->Commit();
  if (host.FailedRows) host.FailedRows->Commit();
  WriteNotes(request.NotesPath, host);
  std::size_t length = 0;
  const char* summary = rulecalc_batch_summary_text(host.Batch, &length);
  std::fwrite(summary, 1, length, stderr);
  host.ShowDiagnostics();
  return rulecalc_batch_exit_status(host.Batch);
}

int CheckSteps(const SBatchRequest& request) {
  SBatchHost host;
  const auto batch = Opened(request, host);
  Require(rulecalc_batch_check(host.Batch, ShowProgress, &host), host);
  host.Bar.reset();
  host.ShowDiagnostics();
  const int status = rulecalc_batch_exit_status(host.Batch);
  if (status == 0) std::puts("ok");
  return status;
}

STestOutcome OutcomeOf(const rulecalc_batch_test_case& test) {
  return STestOutcome{test.row,      test.line, test.key,         test.rule,       test.expected,
                      test.wanted_text, test.got, test.explanation, test.held != 0};
}

// One tests file's expectations, compared by an engine of its own (each
// file has columns of its own); the mismatches and the count are printed.
STestSuite RunTestsFile(const STestRequest& request, const std::string& path, int& status) {
  SBatchRequest tests{request.RulesPath, path, "", 1, "", "", request.EngineOptions};
  tests.EngineOptions.emplace_back("tests", "1");
  SBatchHost host;
  const auto batch = Opened(tests, host);
  STestSuite suite{path, {}, ""};
  const bool compared = Require(rulecalc_batch_test(host.Batch), host);
  status = std::max(status, rulecalc_batch_exit_status(host.Batch));
  if (!compared) {
    suite.Error = rulecalc_batch_message(host.Batch, nullptr);
    return suite;
  }
  const std::size_t count = rulecalc_batch_test_case_count(host.Batch);
  for (std::size_t i = 0; i < count; ++i) {
    rulecalc_batch_test_case test{};
    if (rulecalc_batch_test_case_at(host.Batch, i, &test) == 0) suite.Outcomes.push_back(OutcomeOf(test));
  }
  const std::string text = TestReportText(suite);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return suite;
}

int TestSteps(const STestRequest& request) {
  if (!request.JUnitPath.empty()) {
    RefuseOverwriting(request.JUnitPath, request.RulesPath, "the rules file");
    for (const std::string& path : request.TestsPaths) RefuseOverwriting(request.JUnitPath, path, "the tests file");
  }
  int status = 0;
  std::vector<STestSuite> suites;
  for (const std::string& path : request.TestsPaths) suites.push_back(RunTestsFile(request, path, status));
  if (!request.JUnitPath.empty()) {
    TReportSink junit(request.JUnitPath);
    junit.Write(JUnitXml(suites, request.OutputEncoding));
    junit.Commit();
  }
  return status;
}

}  // namespace

int RunTestRequest(const STestRequest& request) {
  try {
    return TestSteps(request);
  } catch (const std::bad_alloc&) {
    throw TMemoryError("out of memory: the tests were stopped");
  }
}

int RunBatchRequest(const SBatchRequest& request) {
  try {
    return RunSteps(request);
  } catch (const std::bad_alloc&) {
    throw TMemoryError("out of memory: the batch was stopped" +
                       (request.OutputPath.empty() ? std::string(" and its report is incomplete")
                                                   : ", '" + request.OutputPath + "' is left as it was") +
                       " (fewer --jobs, or the rules split over several runs, need less memory)");
  }
}

int RunCheckRequest(const SBatchRequest& request) {
  try {
    return CheckSteps(request);
  } catch (const std::bad_alloc&) {
    throw TMemoryError("out of memory: the check was stopped (the rules split over several checks need less)");
  }
}

}  // namespace rulecalc::cli
