// Runs every benchmark, then prints one table: per rule and mode, each
// system's median time per record and its ratio to the library's.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Keeps the median of every benchmark as it is reported.
class TCollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      // Processor time: the machine is shared, and waiting for a processor is not the
      // benchmark's own time. The command-line runs are other processes: wall time.
      const bool wall = run.run_name.function_name.rfind("cli/", 0) == 0;
      const double nanoseconds = (wall ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime()) * Scale(run.time_unit);
      std::string name = run.run_name.function_name;
      if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
      if (!run.run_name.threads.empty()) name += "/" + run.run_name.threads;
      Times[name] = nanoseconds;
      const auto rate = run.counters.find("items_per_second");
      if (rate != run.counters.end()) ItemsPerSecond[name] = rate->second;
    }
  }
  std::map<std::string, double> Times;  // "system/mode/rule" -> ns per record
  std::map<std::string, double> ItemsPerSecond;

 private:
  static double Scale(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond: return 1e9;
      case benchmark::kMillisecond: return 1e6;
      case benchmark::kMicrosecond: return 1e3;
      default: return 1.0;
    }
  }
};

// Handles: records per second on one and two threads, and their ratio.
void PrintThreadSpeedUp(const std::map<std::string, double>& rates) {
  const auto one = rates.find("handles/full-cycle/threads:1");
  const auto two = rates.find("handles/full-cycle/threads:2");
  if (one == rates.end() || two == rates.end()) return;
  std::printf("\nhandles, full cycle: %.0f records/s on 1 thread, %.0f on 2 (x%.2f)\n", one->second, two->second,
              two->second / one->second);
}

void PrintRatios(const std::map<std::string, double>& times) {
  static const char* const systems[] = {"rulecalc", "native", "lua", "lua-doubles", "muparser", "muparser-doubles"};
  static const char* const modes[] = {"run-only", "full-cycle"};
  std::printf("\n%-12s %-5s", "mode", "rule");
  for (const char* system : systems) std::printf(" %22s", system);
  std::printf("\n");
  for (const char* mode : modes) {
    for (const char* rule : {"R1", "R2", "R3", "R4", "R5"}) {
      const auto base = times.find(std::string("rulecalc/") + mode + "/" + rule);
      std::printf("%-12s %-5s", mode, rule);
      for (const char* system : systems) {
        const auto found = times.find(std::string(system) + "/" + mode + "/" + rule);
        if (found == times.end() || base == times.end()) {
          std::printf(" %22s", "-");
          continue;
        }
        std::printf(" %11.1f ns (x%5.2f)", found->second, found->second / base->second);
      }
      std::printf("\n");
    }
  }
  for (const char* jobs : {"1", "2"}) {
    const auto batch = times.find(std::string("cli/batch/jobs/") + jobs);
    if (batch != times.end())
      std::printf("\ncli batch, --jobs %s: %.0f rows/s", jobs, 30000.0 / (batch->second / 1e9));
  }
  std::printf("\n");
  const auto tokeniser = times.find("tokeniser/2KB");
  if (tokeniser != times.end())
    std::printf("\ntokeniser: %.1f MB/s on a 2 KB sentence\n", 2048.0 / tokeniser->second * 1e3);
  const auto listing = times.find("listing/2KB");
  if (listing != times.end())
    std::printf("SetSentence + GetTokens: %.1f MB/s on a 2 KB sentence\n", 2048.0 / listing->second * 1e3);
  std::printf("(xN: that system's time divided by the library's; above 1 the library is faster)\n");
}

}  // namespace

// Values set by slot (numbers as numbers) against the peers given numbers
// already read, and against the rules written by hand.
void PrintSlotRatios(const std::map<std::string, double>& times) {
  std::printf("\nrun-only by slots: %-5s %18s %24s %20s\n", "rule", "rulecalc", "lua-doubles / rulecalc", "rulecalc / native");
  for (const char* rule : {"R1", "R2", "R3", "R4", "R5"}) {
    const auto ours = times.find(std::string("rulecalc/run-slots/") + rule);
    const auto lua = times.find(std::string("lua-doubles/run-only/") + rule);
    const auto native = times.find(std::string("native/run-only/") + rule);
    if (ours == times.end() || lua == times.end() || native == times.end()) continue;
    std::printf("%-18s %-5s %15.1f ns %23.2fx %19.2fx\n", "", rule, ours->second, lua->second / ours->second,
                ours->second / native->second);
  }
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TCollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter.Times);
  PrintSlotRatios(reporter.Times);
  PrintThreadSpeedUp(reporter.ItemsPerSecond);
  benchmark::Shutdown();
  return 0;
}
