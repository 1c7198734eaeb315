// The handle functions: how a run ended, whole texts, per-handle settings,
// and the defined answers for a null handle.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HandleCalls.h"
#include "support/TestCalc.h"

namespace rulecalc {
namespace {

using testing::THandleCalls;

struct SStatusCase {
  const char* Sentence;
  int Runs;  // the status and text of the last run count
  rulecalc_status Status;
  const char* Text;  // UTF-8
};

void PrintTo(const SStatusCase& c, std::ostream* out) { *out << c.Sentence; }

class RunStatus : public ::testing::TestWithParam<SStatusCase> {};

// A is 5. A statement cut after "+" leaves a push without its pop in the
// code, so every run leaves one more number on the stack until it is full.
TEST_P(RunStatus, TellsAFalseResultFromARunTimeError) {
  THandleCalls calc;
  rulecalc_set_variable(calc.Handle, "A", "5", RULECALC_NUMBER);
  calc.SetSentence(GetParam().Sentence);
  calc.Analyse();
  rulecalc_status status = RULECALC_HELD;
  for (int i = 0; i < GetParam().Runs; ++i) status = rulecalc_run(calc.Handle);
  EXPECT_EQ(status, GetParam().Status);
  EXPECT_EQ(testing::Utf8(calc.GetRuntimeError()), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, RunStatus,
    ::testing::Values(SStatusCase{"A>1;", 1, RULECALC_HELD, ""}, SStatusCase{";", 1, RULECALC_HELD, ""},
                      SStatusCase{"A>9;", 1, RULECALC_FAILED, "A::A>9;"},
                      SStatusCase{"A+", 2048, RULECALC_FAILED, ""},
                      SStatusCase{"A+", 2049, RULECALC_RUNTIME_ERROR, "虚拟机运行时发生浮点数堆栈溢出错误!"}));

// Texts come back whole with their byte length, where the flat exports cut
// them at 2047 bytes.
TEST(HandleTexts, ComeBackWholeWithTheirLength) {
  THandleCalls calc;
  const std::string name(3000, 'N');
  calc.SetVarValue(name.c_str(), "1", 0);
  calc.SetSentence((name + ">2;").c_str());
  size_t length = 0;
  EXPECT_EQ(rulecalc_tokens(calc.Handle, &length), name + ";>;2;;;");
  EXPECT_EQ(length, name.size() + 7);
  EXPECT_EQ(rulecalc_varnames(calc.Handle, &length), name);
  EXPECT_EQ(rulecalc_numbers(calc.Handle, &length), std::string("2;"));
  ASSERT_TRUE(calc.Analyse());
  EXPECT_EQ(rulecalc_run(calc.Handle), RULECALC_FAILED);
  EXPECT_EQ(rulecalc_runtime_error(calc.Handle, &length), name + "::" + name + ">2;");
  EXPECT_EQ(length, 2 * name.size() + 5);
}

struct SSettingsCase {
  rulecalc_date_order Order;
  char Separator;
  int Year;
  const char* Sentence;
  bool Holds;
};

void PrintTo(const SSettingsCase& c, std::ostream* out) { *out << c.Sentence; }

class HandleSettings : public ::testing::TestWithParam<SSettingsCase> {};

// The handle starts from the "C" locale's settings: month/day/year with "/".
TEST_P(HandleSettings, DecideHowTodateAndTocharReadAndWrite) {
  THandleCalls calc, untouched;
  ASSERT_EQ(rulecalc_set_date_order(calc.Handle, GetParam().Order), 0);
  ASSERT_EQ(rulecalc_set_date_separator(calc.Handle, GetParam().Separator), 0);
  ASSERT_EQ(rulecalc_set_current_year(calc.Handle, GetParam().Year), 0);
  rulecalc_clear(calc.Handle);  // the settings stay
  calc.SetSentence(GetParam().Sentence);
  ASSERT_TRUE(calc.Analyse()) << calc.GetAnalyseError();
  EXPECT_EQ(calc.Run(), GetParam().Holds);
  untouched.SetSentence("MONTH(TODATE(\"1/2/2003\"))=1;");
  ASSERT_TRUE(untouched.Analyse());
  EXPECT_TRUE(untouched.Run());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, HandleSettings,
    ::testing::Values(
        SSettingsCase{RULECALC_DATE_MDY, '/', 2026, "MONTH(TODATE(\"1/2/3\"))=1 AND YEAR(TODATE(\"1/2/3\"))=2003;", true},
        SSettingsCase{RULECALC_DATE_DMY, '.', 2026, "MONTH(TODATE(\"1.2.3\"))=2;", true},
        SSettingsCase{RULECALC_DATE_DMY, '.', 2026, "TOCHAR(TODATE(\"1.2.2003\"),\"ddddd\")=\"01.02.03\";", true},
        SSettingsCase{RULECALC_DATE_YMD, '-', 2026, "YEAR(TODATE(\"1-2-3\"))=2001;", true},
        SSettingsCase{RULECALC_DATE_YMD, '-', 2024, "DAY(TODATE(\"2-29\"))=29;", true},
        SSettingsCase{RULECALC_DATE_YMD, '-', 2025, "DAY(TODATE(\"2-29\"))=29;", false}));

TEST(HandleSettings, RefuseInvalidValues) {
  THandleCalls calc;
  for (const char separator : {'a', 'Z', '0', ' ', '\t', '\0', '\x7f', '\xa1'})
    EXPECT_EQ(rulecalc_set_date_separator(calc.Handle, separator), -1) << static_cast<int>(separator);
  for (const int year : {-1, 10000}) EXPECT_EQ(rulecalc_set_current_year(calc.Handle, year), -1) << year;
  EXPECT_EQ(rulecalc_set_date_order(calc.Handle, static_cast<rulecalc_date_order>(3)), -1);
  EXPECT_EQ(rulecalc_set_current_year(calc.Handle, 0), 0);
}

// Every function accepts a null handle and gives its documented empty answer.
TEST(NullHandle, GivesTheEmptyAnswers) {
  size_t length = 99;
  int32_t position = 99;
  for (auto text : {rulecalc_tokens, rulecalc_numbers, rulecalc_varnames, rulecalc_analyse_error,
                    rulecalc_runtime_error}) {
    EXPECT_STREQ(text(nullptr, &length), "");
    EXPECT_EQ(length, 0u);
  }
  rulecalc_set_sentence(nullptr, "A>1;");
  rulecalc_set_variable(nullptr, "A", "1", 0);
  rulecalc_clear(nullptr);
  rulecalc_close(nullptr);
  EXPECT_EQ(rulecalc_analyse(nullptr), 0);
  EXPECT_EQ(rulecalc_run(nullptr), RULECALC_RUNTIME_ERROR);
  EXPECT_EQ(rulecalc_set_date_order(nullptr, RULECALC_DATE_DMY), -1);
  EXPECT_EQ(rulecalc_set_date_separator(nullptr, '.'), -1);
  EXPECT_EQ(rulecalc_set_current_year(nullptr, 2000), -1);
  EXPECT_EQ(rulecalc_warning_count(nullptr), 0u);
  EXPECT_EQ(rulecalc_warning(nullptr, 0, &position, &length), nullptr);
  EXPECT_STREQ(rulecalc_version(), RULECALC_VERSION_STRING);
  EXPECT_STREQ(rulecalc_version(), RULECALC_PROJECT_VERSION);
}

// Null texts count as "" and a null length is not written.
TEST(NullTexts, CountAsEmpty) {
  THandleCalls calc;
  rulecalc_set_variable(calc.Handle, nullptr, nullptr, 0);
  calc.SetSentence(nullptr);
  EXPECT_STREQ(rulecalc_tokens(calc.Handle, nullptr), "");
  EXPECT_FALSE(calc.Analyse());
  EXPECT_EQ(testing::Utf8(rulecalc_analyse_error(calc.Handle, nullptr)), "表达式语法定义错误!");
}

}  // namespace
}  // namespace rulecalc
