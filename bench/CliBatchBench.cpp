// Rows per second of the command-line tool's batch command: the shipped
// example rules over the shipped example data, repeated to 30,000 rows, with
// one and with two calculators at work.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#ifndef RULECALC_CLI_PATH
#define RULECALC_CLI_PATH ""
#endif
#ifndef RULECALC_SOURCE_DIR
#define RULECALC_SOURCE_DIR "."
#endif

namespace rulecalc::bench {
namespace {

constexpr int kCopies = 100;  // 300 example rows each

// The example data with its rows repeated, written once to a temporary file.
const std::string& LargeData(long& rows) {
  static long rowCount = 0;
  static const std::string path = [] {
    std::ifstream in(std::string(RULECALC_SOURCE_DIR) + "/examples/applicants.csv", std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    const std::string text = whole.str();
    const std::size_t headerEnd = text.find('\n') + 1;
    const std::string file = "/tmp/rulecalc-bench-applicants.csv";
    std::ofstream out(file, std::ios::binary);
    out << text.substr(0, headerEnd);
    for (int i = 0; i < kCopies; ++i) out << text.substr(headerEnd);
    rowCount = 300L * kCopies;
    return file;
  }();
  rows = rowCount;
  return path;
}

void CliBatch(benchmark::State& state) {
  if (std::string(RULECALC_CLI_PATH).empty()) {
    state.SkipWithError("the command-line tool was not built");
    return;
  }
  long rows = 0;
  const std::string data = LargeData(rows);
  const std::string command = std::string(RULECALC_CLI_PATH) + " batch --rules " RULECALC_SOURCE_DIR
                              "/examples/applicants.rules --data " + data + " --jobs " +
                              std::to_string(state.range(0)) + " --output /dev/null 2>/dev/null";
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("rulecalc batch failed");
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows) * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(CliBatch)->Name("cli/batch/jobs")->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace rulecalc::bench
