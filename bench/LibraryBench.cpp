// The library measured through its flat exports (the global calculator),
// the way a host uses it.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Rules.h"
#include "boundary/RuleCalc.h"
#include "lexer/TokenAnalyser.h"
#include "rulecalc.h"

namespace rulecalc::bench {
namespace {

void SetVariables(const SRule& rule, const Record& record) {
  for (std::size_t i = 0; i < rule.Variables.size(); ++i)
    SetVarValue(rule.Variables[i].Name, record[i].c_str(), rule.Variables[i].Type);
}

void SetVariablesOn(TRuleCalc& calc, const SRule& rule, const Record& record) {
  for (std::size_t i = 0; i < rule.Variables.size(); ++i)
    calc.SetVarValue(rule.Variables[i].Name, record[i].c_str(), rule.Variables[i].Type);
}

// Run only: the rule is analysed once; each record sets its variables and runs.
void RunOnly(benchmark::State& state, const SRule& rule) {
  const auto& records = RecordsFor(rule);
  ClearMemory();
  SetVariables(rule, records[0]);
  SetSentence(rule.Sentence);
  if (!Analyse()) state.SkipWithError(GetAnalyseError());
  std::size_t i = 0;
  for (auto _ : state) {
    const Record& record = records[i++ & 1023];
    SetVariables(rule, record);
    benchmark::DoNotOptimize(Run());
    if ((i & 1023) == 0) {
      state.PauseTiming();
      ClearMemory();  // the run-time text of a plain condition accumulates
      SetVariables(rule, record);
      SetSentence(rule.Sentence);
      Analyse();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// Full cycle: a host that compiles a fresh rule for every record.
void FullCycle(benchmark::State& state, const SRule& rule) {
  const auto& records = RecordsFor(rule);
  std::size_t i = 0;
  for (auto _ : state) {
    const Record& record = records[i++ & 1023];
    ClearMemory();
    SetVariables(rule, record);
    SetSentence(rule.Sentence);
    benchmark::DoNotOptimize(Analyse());
    benchmark::DoNotOptimize(Run());
    benchmark::DoNotOptimize(GetRuntimeError());
  }
  state.SetItemsProcessed(state.iterations());
}

// Analysis alone, on an instance whose variables stay set.
void AnalyseOnly(benchmark::State& state, const SRule& rule) {
  TRuleCalc calc;
  SetVariablesOn(calc, rule, RecordsFor(rule)[0]);
  for (auto _ : state) {
    calc.Machine.ClearCode();
    calc.SetSentence(rule.Sentence);
    benchmark::DoNotOptimize(calc.Analyse());
  }
  state.SetItemsProcessed(state.iterations());
}

// Run only on an instance of its own, each run from a clean machine (as the
// handle functions and the batch run), with notes on or off: what taking
// notes costs.
void RunAfresh(benchmark::State& state, const SRule& rule, bool notes) {
  const auto& records = RecordsFor(rule);
  TRuleCalc calc;
  calc.Machine.TakeNotes = notes;
  SetVariablesOn(calc, rule, records[0]);
  calc.SetSentence(rule.Sentence);
  if (!calc.Analyse()) state.SkipWithError(calc.GetAnalyseError());
  std::size_t i = 0;
  for (auto _ : state) {
    SetVariablesOn(calc, rule, records[i++ & 1023]);
    benchmark::DoNotOptimize(calc.RunAfresh());
  }
  state.SetItemsProcessed(state.iterations());
}

// RunAfresh with the variables bound once and set by slot: numbers as the
// numbers their texts read as (read before the measurement), texts as bytes.
void RunBySlots(benchmark::State& state, const SRule& rule) {
  const auto& records = RecordsFor(rule);
  TRuleCalc calc;
  SetVariablesOn(calc, rule, records[0]);
  calc.SetSentence(rule.Sentence);
  if (!calc.Analyse()) state.SkipWithError(calc.GetAnalyseError());
  std::vector<long> slots;
  for (const SVariableDefinition& variable : rule.Variables)
    slots.push_back(calc.BindVariable(variable.Name, variable.Type));
  std::vector<std::vector<double>> numbers(records.size());
  for (std::size_t r = 0; r < records.size(); ++r)
    for (const std::string& text : records[r]) numbers[r].push_back(std::strtod(text.c_str(), nullptr));
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t r = i++ & 1023;
    for (std::size_t v = 0; v < slots.size(); ++v) {
      const std::string& text = records[r][v];
      if (rule.Variables[v].Type == 0) calc.SetNumber(slots[v], numbers[r][v]);
      else calc.SetText(slots[v], text.data(), text.size());
    }
    benchmark::DoNotOptimize(calc.RunAfresh());
  }
  state.SetItemsProcessed(state.iterations());
}

std::string LongSentence() {
  std::string sentence;
  while (sentence.size() < 2048) sentence += "IF AGE >= 18 AND NAME <> \"X\" THEN SCORE*2+LENGTH(NAME) >= 60.5 ELSE ";
  sentence.resize(2048);
  return sentence;
}

// Tokens per second over a 2 KB sentence, reported as bytes per second.
void Tokeniser(benchmark::State& state) {
  TTokenAnalyser tokeniser;
  const std::string sentence = LongSentence();
  tokeniser.SetSentence(sentence.c_str());
  for (auto _ : state) {
    tokeniser.Position = 0;
    for (tokeniser.NextToken(); tokeniser.WordType != wtEnd; tokeniser.NextToken()) {
    }
    benchmark::DoNotOptimize(tokeniser.Position);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sentence.size()));
}

// A host listing the tokens of a 2 KB sentence: SetSentence, then GetTokens.
void Listing(benchmark::State& state) {
  const std::string sentence = LongSentence();
  for (auto _ : state) {
    SetSentence(sentence.c_str());
    benchmark::DoNotOptimize(GetTokens());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(sentence.size()));
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("tokeniser/2KB", Tokeniser);
  benchmark::RegisterBenchmark("listing/2KB", Listing);
  for (const SRule& rule : Rules()) {
    const std::string id = rule.Id;
    benchmark::RegisterBenchmark(("rulecalc/run-only/" + id).c_str(), RunOnly, rule);
    benchmark::RegisterBenchmark(("rulecalc/full-cycle/" + id).c_str(), FullCycle, rule);
    benchmark::RegisterBenchmark(("rulecalc/analyse/" + id).c_str(), AnalyseOnly, rule);
    benchmark::RegisterBenchmark(("rulecalc/run-afresh/" + id).c_str(), RunAfresh, rule, false);
    benchmark::RegisterBenchmark(("rulecalc/run-afresh-notes/" + id).c_str(), RunAfresh, rule, true);
    benchmark::RegisterBenchmark(("rulecalc/run-slots/" + id).c_str(), RunBySlots, rule);
  }
  return true;
}();

}  // namespace
}  // namespace rulecalc::bench
