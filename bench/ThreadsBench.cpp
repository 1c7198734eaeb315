// Handles on one and two threads: each thread answers the benchmark rules
// through a handle of its own (analyse and run for every record, as a
// server that checks each request does). Items per second over wall-clock
// time, so that two threads show what the second core adds.

#include <benchmark/benchmark.h>

#include "Rules.h"
#include "rulecalc.h"

namespace rulecalc::bench {
namespace {

void AnswerRecord(rulecalc_handle* calc, const SRule& rule, const Record& record) {
  rulecalc_clear(calc);
  for (std::size_t i = 0; i < rule.Variables.size(); ++i)
    rulecalc_set_variable(calc, rule.Variables[i].Name, record[i].c_str(), rule.Variables[i].Type);
  rulecalc_set_sentence(calc, rule.Sentence);
  benchmark::DoNotOptimize(rulecalc_analyse(calc));
  if (rulecalc_run(calc) != RULECALC_HELD) benchmark::DoNotOptimize(rulecalc_runtime_error(calc, nullptr));
}

void HandlesFullCycle(benchmark::State& state) {
  rulecalc_handle* calc = rulecalc_open();
  const std::vector<SRule>& rules = Rules();
  std::size_t i = static_cast<std::size_t>(state.thread_index()) * 512;
  for (auto _ : state) {
    const SRule& rule = rules[i % rules.size()];
    AnswerRecord(calc, rule, RecordsFor(rule)[i & 1023]);
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
  rulecalc_close(calc);
}

const bool kRegistered = [] {
  for (const SRule& rule : Rules()) RecordsFor(rule);  // made before any thread starts
  benchmark::RegisterBenchmark("handles/full-cycle", HandlesFullCycle)->Threads(1)->Threads(2)->UseRealTime();
  return true;
}();

}  // namespace
}  // namespace rulecalc::bench
