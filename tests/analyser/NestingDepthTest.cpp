#include <gtest/gtest.h>
#include <pthread.h>

#include <string>

#include "analyser/CodeListing.h"
#include "analyser/Semanticanalysor.h"

namespace rulecalc {
namespace {

// The stack of a thread in a 32-bit Windows host. Builds with sanitizers or
// without optimisation use larger frames and get a larger stack.
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__) && !defined(RULECALC_SANITIZED)
constexpr std::size_t kHostStack = 1 << 20;
#else
constexpr std::size_t kHostStack = 16 << 20;
#endif

struct SAnalysis {
  std::string Sentence;
  ELanguage Language = ELanguage::Classic;
  bool Accepted = false;
  std::string Error;
};

void* AnalyseOnThread(void* argument) {
  auto* job = static_cast<SAnalysis*>(argument);
  auto calc = testing::CalcWithVariables();
  calc->SetLanguage(job->Language);
  calc->SetSentence(job->Sentence.c_str());
  job->Accepted = calc->Analyse();
  job->Error = testing::Utf8(calc->GetAnalyseError());
  return nullptr;
}

SAnalysis AnalyseWithStack(const std::string& sentence, std::size_t stackBytes,
                           ELanguage language = ELanguage::Classic) {
  SAnalysis job;
  job.Sentence = sentence;
  job.Language = language;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stackBytes);
  pthread_t thread;
  EXPECT_EQ(pthread_create(&thread, &attributes, AnalyseOnThread, &job), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return job;
}

std::string Brackets(int depth) {
  return std::string(static_cast<std::size_t>(depth), '(') + "A" + std::string(static_cast<std::size_t>(depth), ')') + ">1;";
}

std::string Calls(int depth) {
  std::string sentence;
  for (int i = 0; i < depth; ++i) sentence += "LG(";
  sentence += "A" + std::string(static_cast<std::size_t>(depth), ')') + ">1;";
  return sentence;
}

std::string Mixed(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += (i % 2) ? "(" : "NVL(";
    close = ((i % 2) ? ")" : ",1)") + close;
  }
  return open + "A" + close + ">1;";
}

// The extended language's nesting: conditions in brackets, and NOTs.
std::string ConditionGroups(int depth) {
  return std::string(static_cast<std::size_t>(depth), '(') + "A>1 OR B>1" + std::string(static_cast<std::size_t>(depth), ')') + ";";
}

std::string Negations(int depth) {
  std::string sentence;
  for (int i = 0; i < depth; ++i) sentence += "NOT ";
  return sentence + "A>1;";
}

TEST(NestingDepth, TheDeepestExtendedConditionsFitAOneMegabyteStack) {
  for (const int extra : {0, 1}) {
    for (const std::string& sentence :
         {ConditionGroups(kMaxNestingDepth + extra), Negations(kMaxNestingDepth + extra)}) {
      const SAnalysis result = AnalyseWithStack(sentence, kHostStack, ELanguage::Extended);
      EXPECT_EQ(result.Accepted, extra == 0) << result.Error;
      if (extra == 1) {
        EXPECT_EQ(result.Error, "表达式嵌套层次过深!");
      }
    }
  }
}

TEST(NestingDepth, TheDeepestAcceptedSentenceFitsAOneMegabyteStack) {
  for (const std::string& sentence : {Brackets(kMaxNestingDepth), Calls(kMaxNestingDepth), Mixed(kMaxNestingDepth)}) {
    const SAnalysis result = AnalyseWithStack(sentence, kHostStack);
    EXPECT_TRUE(result.Accepted) << result.Error;
  }
}

TEST(NestingDepth, OneLevelMoreFailsWithTheDepthMessage) {
  for (const std::string& sentence :
       {Brackets(kMaxNestingDepth + 1), Calls(kMaxNestingDepth + 1), Mixed(kMaxNestingDepth + 1)}) {
    const SAnalysis result = AnalyseWithStack(sentence, kHostStack);
    EXPECT_FALSE(result.Accepted);
    EXPECT_EQ(result.Error, "表达式嵌套层次过深!");
  }
}

TEST(NestingDepth, AMillionOpenBracketsFailWithoutCrashing) {
  const SAnalysis result = AnalyseWithStack(std::string(1000000, '('), kHostStack);
  EXPECT_FALSE(result.Accepted);
  EXPECT_EQ(result.Error, "表达式嵌套层次过深!");
}

TEST(NestingDepth, DeepSentencesRunWithinTheStacks) {
  auto calc = testing::CalcWithVariables();
  calc->SetVarValue("A", "5", 0);
  calc->SetSentence(Mixed(kMaxNestingDepth).c_str());
  ASSERT_TRUE(calc->Analyse());
  EXPECT_TRUE(calc->Run()) << testing::Utf8(calc->GetRuntimeError());
}

}  // namespace
}  // namespace rulecalc
