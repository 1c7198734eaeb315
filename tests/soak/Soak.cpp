// Soak: a long mixed use of two calculators over generated valid and invalid
// rules, in host-like but irregular order (ClearMemory sometimes skipped,
// variables set or replaced, null pointers, listings, Analyse once or twice,
// Run once or twice). Two properties are watched:
//   - the resident memory stays flat after warm-up;
//   - a rule put through the host's calling order (ClearMemory, variables,
//     SetSentence, ...) gives exactly the answers that a fresh calculator
//     gives, whatever came before.
//
//   rulecalc_soak [--cycles N] [--seed S] [--max-rss-growth-kib K]
//
// A growth limit of 0 (the default) reports the memory figures without
// judging them; sanitizer builds keep freed memory in quarantine and should
// not be judged.

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "support/RuleAnswers.h"
#include "support/SentenceGenerator.h"

namespace {

using rulecalc::testing::SGeneratedRule;
using rulecalc::testing::SRuleAnswers;
using rulecalc::testing::TSentenceGenerator;

struct SOptions {
  std::uint64_t Cycles = 1000000;
  std::uint64_t Seed = 1;
  std::uint64_t MaxRssGrowthKib = 0;
};

bool ReadOptions(int argc, char** argv, SOptions& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::uint64_t value = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--cycles") == 0) options.Cycles = value;
    else if (std::strcmp(argv[i], "--seed") == 0) options.Seed = value;
    else if (std::strcmp(argv[i], "--max-rss-growth-kib") == 0) options.MaxRssGrowthKib = value;
    else return false;
  }
  return argc % 2 == 1;
}

// The resident set of this process in KiB.
std::uint64_t ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t total = 0, resident = 0;
  statm >> total >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

// Reads a returned text to its end, as a host would.
std::size_t Touch(const char* text) {
  if (text == nullptr) {
    std::fprintf(stderr, "soak: a getter returned a null pointer\n");
    std::exit(1);
  }
  return std::strlen(text);
}

// One irregular host interaction with a rule.
template <typename Calc>
std::size_t Cycle(Calc& calc, TSentenceGenerator& random, const SGeneratedRule& rule) {
  std::size_t bytes = 0;
  if (random.Pick(5) != 0) calc.ClearMemory();
  for (const auto& v : rule.Variables)
    if (random.Pick(8) != 0) calc.SetVarValue(v.Name.c_str(), v.Value.c_str(), v.Type);
  if (random.Pick(25) == 0) calc.SetVarValue(nullptr, nullptr, static_cast<std::int32_t>(random.Pick(3)));
  if (random.Pick(10) != 0) calc.SetSentence(random.Pick(50) == 0 ? nullptr : rule.Sentence.c_str());
  if (random.Pick(3) == 0) bytes += Touch(calc.GetTokens());
  if (random.Pick(3) == 0) bytes += Touch(calc.GetNumbers());
  if (random.Pick(3) == 0) bytes += Touch(calc.GetVarnames());
  for (std::uint64_t n = 1 + (random.Pick(4) == 0); n > 0; --n)
    if (!calc.Analyse()) bytes += Touch(calc.GetAnalyseError());
  for (std::uint64_t n = random.Pick(5) == 0 ? 2 : 1; n > 0; --n)
    if (random.Pick(6) != 0 && !calc.Run()) bytes += Touch(calc.GetRuntimeError());
  return bytes;
}

struct SPoolRule {
  SGeneratedRule Rule;
  SRuleAnswers Reference;  // from a calculator that did nothing else
};

std::vector<SPoolRule> MakePool(TSentenceGenerator& generator, std::size_t size) {
  std::vector<SPoolRule> pool;
  for (std::size_t i = 0; i < size; ++i) {
    SPoolRule entry{generator.Next(), {}};
    rulecalc::TRuleCalc fresh;
    entry.Reference = rulecalc::testing::AnswerRule(fresh, entry.Rule.Variables, entry.Rule.Sentence.c_str());
    pool.push_back(std::move(entry));
  }
  return pool;
}

template <typename Calc>
bool AnswersAsFresh(Calc& calc, const SPoolRule& entry, const char* which) {
  const SRuleAnswers answers =
      rulecalc::testing::AnswerRule(calc, entry.Rule.Variables, entry.Rule.Sentence.c_str());
  if (answers == entry.Reference) return true;
  std::fprintf(stderr, "soak: %s answered differently from a fresh calculator\n  sentence: %s\n  fresh: %s\n  now:   %s\n",
               which, entry.Rule.Sentence.c_str(), entry.Reference.Describe().c_str(), answers.Describe().c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  SOptions options;
  if (!ReadOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: rulecalc_soak [--cycles N] [--seed S] [--max-rss-growth-kib K]\n");
    return 2;
  }
  TSentenceGenerator generator(options.Seed);
  const std::vector<SPoolRule> pool = MakePool(generator, 500);
  rulecalc::testing::TFlatExports flat;
  auto instance = std::make_unique<rulecalc::TRuleCalc>();

  const std::uint64_t warmUp = options.Cycles / 10;
  const std::uint64_t report = options.Cycles / 10 == 0 ? 1 : options.Cycles / 10;
  std::uint64_t rssAfterWarmUp = 0, rssHighest = 0, checks = 0, mismatches = 0, bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  std::printf("soak: %llu cycles, seed %llu, resident %llu KiB at start\n",
              static_cast<unsigned long long>(options.Cycles), static_cast<unsigned long long>(options.Seed),
              static_cast<unsigned long long>(ResidentKib()));

  for (std::uint64_t cycle = 1; cycle <= options.Cycles; ++cycle) {
    // Mostly rules of the pool (to check them), one in five made afresh.
    const bool fromPool = generator.Pick(5) != 0;
    const SGeneratedRule fresh = fromPool ? SGeneratedRule{} : generator.Next();
    const SPoolRule& entry = pool[generator.Pick(pool.size())];
    const SGeneratedRule& rule = fromPool ? entry.Rule : fresh;
    if (cycle % 2) bytes += Cycle(flat, generator, rule);
    else bytes += Cycle(*instance, generator, rule);
    if (cycle % 16 == 0) {
      checks += 2;
      mismatches += !AnswersAsFresh(flat, entry, "the flat exports");
      mismatches += !AnswersAsFresh(*instance, entry, "the instance");
      if (mismatches > 10) break;
    }
    if (cycle == warmUp) rssAfterWarmUp = ResidentKib();
    if (cycle > warmUp && cycle % 1000 == 0) {
      const std::uint64_t rss = ResidentKib();
      if (rss > rssHighest) rssHighest = rss;
    }
    if (cycle % report == 0)
      std::printf("soak: %llu cycles, resident %llu KiB\n", static_cast<unsigned long long>(cycle),
                  static_cast<unsigned long long>(ResidentKib()));
  }

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::uint64_t rssEnd = ResidentKib();
  if (rssAfterWarmUp == 0) rssAfterWarmUp = rssEnd;
  const long long growth = static_cast<long long>(rssHighest > rssEnd ? rssHighest : rssEnd) -
                           static_cast<long long>(rssAfterWarmUp);
  std::printf("soak: %.1f s; resident after warm-up %llu KiB, highest after warm-up %llu KiB, at the end %llu KiB "
              "(growth %lld KiB); %llu comparisons with fresh calculators, %llu differences; %zu text bytes read\n",
              seconds, static_cast<unsigned long long>(rssAfterWarmUp), static_cast<unsigned long long>(rssHighest),
              static_cast<unsigned long long>(rssEnd), growth, static_cast<unsigned long long>(checks),
              static_cast<unsigned long long>(mismatches), static_cast<std::size_t>(bytes));
  bool ok = mismatches == 0;
  if (options.MaxRssGrowthKib > 0 && growth > static_cast<long long>(options.MaxRssGrowthKib)) {
    std::printf("soak: the resident memory grew by %lld KiB after warm-up (limit %llu KiB)\n", growth,
                static_cast<unsigned long long>(options.MaxRssGrowthKib));
    ok = false;
  }
  std::printf("soak: %s\n", ok ? "passed" : "FAILED");
  return ok ? 0 : 1;
}
