// Runs one benchmark rule over a number of records, so that callgrind can
// count the instructions a record costs: the difference between two runs of
// different lengths, divided by the difference in records, leaves out
// everything done once (analysis, records made, start-up).
//
//   rulecalc_instruction_counts RULE RECORDS MODE
//     MODE: texts (values set as texts, as the ten exports take them),
//           slots (numbers as numbers, texts as bytes, through variable slots),
//           native (the rule written by hand, reading the texts with strtod),
//           full (a fresh rule per record: clear, the variables by name, the
//           sentence, analyse, run and the explanation).

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Rules.h"
#include "rulecalc.hpp"

namespace {

using rulecalc::bench::Record;
using rulecalc::bench::SRule;

const SRule* FindRule(const char* id) {
  for (const SRule& rule : rulecalc::bench::Rules())
    if (std::strcmp(rule.Id, id) == 0) return &rule;
  return nullptr;
}

int RunLibrary(const SRule& rule, long records, bool bySlots) {
  const std::vector<Record>& texts = rulecalc::bench::RecordsFor(rule);
  rulecalc::Calculator calc;
  std::vector<long> slots;
  for (const auto& variable : rule.Variables)
    slots.push_back(calc.bind_variable(variable.Name, static_cast<rulecalc::ValueType>(variable.Type)));
  calc.set_sentence(rule.Sentence);
  if (!calc.analyse().compiled) return 2;
  std::vector<std::vector<double>> numbers;
  for (const Record& record : texts) {
    numbers.emplace_back();
    for (const std::string& text : record) numbers.back().push_back(std::strtod(text.c_str(), nullptr));
  }
  long held = 0;
  for (long i = 0; i < records; ++i) {
    const std::size_t r = static_cast<std::size_t>(i) % texts.size();
    for (std::size_t v = 0; v < slots.size(); ++v) {
      if (bySlots && rule.Variables[v].Type == 0) calc.set_number(slots[v], numbers[r][v]);
      else calc.set_text(slots[v], texts[r][v]);
    }
    held += rulecalc_run(calc.handle()) == RULECALC_HELD;
  }
  std::printf("%ld of %ld held\n", held, records);
  return 0;
}

int RunFullCycle(const SRule& rule, long records) {
  const std::vector<Record>& texts = rulecalc::bench::RecordsFor(rule);
  rulecalc::Calculator calc;
  long held = 0;
  for (long i = 0; i < records; ++i) {
    const Record& record = texts[static_cast<std::size_t>(i) % texts.size()];
    calc.clear();
    for (std::size_t v = 0; v < record.size(); ++v)
      calc.set_variable(rule.Variables[v].Name, record[v], static_cast<rulecalc::ValueType>(rule.Variables[v].Type));
    calc.set_sentence(rule.Sentence);
    if (!calc.analyse().compiled) return 2;
    held += calc.run().held;
  }
  std::printf("%ld of %ld held\n", held, records);
  return 0;
}

int RunNative(const SRule& rule, long records) {
  const std::vector<Record>& texts = rulecalc::bench::RecordsFor(rule);
  long held = 0;
  for (long i = 0; i < records; ++i) held += rule.Native(texts[static_cast<std::size_t>(i) % texts.size()]);
  std::printf("%ld of %ld held\n", held, records);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const SRule* rule = argc == 4 ? FindRule(argv[1]) : nullptr;
  const long records = argc == 4 ? std::atol(argv[2]) : 0;
  if (rule == nullptr || records <= 0) {
    std::fprintf(stderr, "usage: rulecalc_instruction_counts R1..R5 RECORDS texts|slots|native|full\n");
    return 2;
  }
  const std::string mode = argv[3];
  if (mode == "full") return RunFullCycle(*rule, records);
  if (mode == "native") return rule->Native != nullptr ? RunNative(*rule, records) : 2;
  if (mode == "texts" || mode == "slots") return RunLibrary(*rule, records, mode == "slots");
  std::fprintf(stderr, "unknown mode %s\n", argv[3]);
  return 2;
}
