// Handles on many threads at once: 8 threads, each with two handles of its
// own (one with the default settings, one with other date settings), answer
// thousands of generated rules in an order of their own; every answer must
// be the one a single thread gave. Uses only the shared library's handle
// functions, so that ThreadSanitizer sees every access the library makes.
//   rulecalc-threads-test [RULES]     (default 2000)

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/HandleCalls.h"
#include "support/RuleAnswers.h"
#include "support/SentenceGenerator.h"

namespace {

using rulecalc::testing::SGeneratedRule;
using rulecalc::testing::THandleCalls;

constexpr int kThreads = 8;
constexpr int kSettings = 2;  // the default settings, and the ones below

void UseOtherSettings(THandleCalls& calc) {
  rulecalc_set_date_order(calc.Handle, RULECALC_DATE_DMY);
  rulecalc_set_date_separator(calc.Handle, '.');
  rulecalc_set_current_year(calc.Handle, 2001);
}

// Everything a host learns from one rule, including how each run ended.
std::string Answer(THandleCalls& calc, const SGeneratedRule& rule) {
  const auto answers = rulecalc::testing::AnswerRule(calc, rule.Variables, rule.Sentence.c_str());
  return answers.Describe() + " status " + std::to_string(calc.LastStatus);
}

using TAnswerTable = std::vector<std::vector<std::string>>;  // [rule][settings]

TAnswerTable AnswerAll(const std::vector<SGeneratedRule>& rules) {
  THandleCalls calcs[kSettings];
  UseOtherSettings(calcs[1]);
  TAnswerTable table(rules.size());
  for (std::size_t i = 0; i < rules.size(); ++i)
    for (int s = 0; s < kSettings; ++s) table[i].push_back(Answer(calcs[s], rules[i]));
  return table;
}

// Goes once through every rule, starting at its own offset, alternating the
// two handles; counts the answers that differ from the single thread's.
void CheckOnThread(int thread, const std::vector<SGeneratedRule>& rules, const TAnswerTable& expected,
                   long& differences) {
  THandleCalls calcs[kSettings];
  UseOtherSettings(calcs[1]);
  const std::size_t count = rules.size();
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t i = (k + static_cast<std::size_t>(thread) * count / kThreads) % count;
    const int s = static_cast<int>((k + static_cast<std::size_t>(thread)) % kSettings);
    if (Answer(calcs[s], rules[i]) != expected[i][s]) ++differences;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int ruleCount = argc > 1 ? std::atoi(argv[1]) : 2000;
  rulecalc::testing::TSentenceGenerator generator(20261208);
  std::vector<SGeneratedRule> rules;
  for (int i = 0; i < ruleCount; ++i) rules.push_back(generator.Next());
  const TAnswerTable expected = AnswerAll(rules);

  std::vector<long> differences(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back(CheckOnThread, t, std::cref(rules), std::cref(expected), std::ref(differences[t]));
  for (std::thread& thread : threads) thread.join();

  long total = 0;
  for (int t = 0; t < kThreads; ++t) {
    if (differences[t] != 0) std::printf("thread %d: %ld answers differ\n", t, differences[t]);
    total += differences[t];
  }
  std::printf("%d threads x %d rules x 2 settings: %ld answers differ from one thread's\n", kThreads, ruleCount,
              total);
  return total == 0 && ruleCount > 0 ? 0 : 1;
}
