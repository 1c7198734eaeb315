// The handle functions: how a run ended, whole texts, per-handle settings,
// and the defined answers for a null handle.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
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
// code; every run starts with empty stacks, so they never fill.
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
                      SStatusCase{"A+", 2049, RULECALC_FAILED, ""}));

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

struct SRowsCase {
  const char* Sentence;
  rulecalc_status Worst;
};

void PrintTo(const SRowsCase& c, std::ostream* out) { *out << c.Sentence; }

class HandleRows : public ::testing::TestWithParam<SRowsCase> {};

// A table of rows in one call answers as one rulecalc_run per row; a null
// value counts as "".
TEST_P(HandleRows, AnswerAsOneRunPerRow) {
  constexpr size_t kRows = 5, kColumns = 3;
  const char* const names[kColumns] = {"A", "B", "S"};
  const int32_t types[kColumns] = {RULECALC_NUMBER, RULECALC_NUMBER, RULECALC_TEXT};
  const char* const values[kRows * kColumns] = {"2", "1", "x", "0", "1", nullptr, "0", "5", "y",
                                                "2", "",  "x", "9", "3", nullptr};
  THandleCalls table, single;
  for (THandleCalls* calc : {&table, &single}) {
    for (size_t c = 0; c < kColumns; ++c) rulecalc_set_variable(calc->Handle, names[c], "", types[c]);
    calc->SetSentence(GetParam().Sentence);
    ASSERT_TRUE(calc->Analyse());
  }
  uint8_t statuses[kRows] = {};
  EXPECT_EQ(rulecalc_run_rows(table.Handle, kRows, kColumns, names, types, values, statuses), GetParam().Worst);
  for (size_t r = 0; r < kRows; ++r) {
    for (size_t c = 0; c < kColumns; ++c) rulecalc_set_variable(single.Handle, names[c], values[r * kColumns + c], types[c]);
    const rulecalc_status status = rulecalc_run(single.Handle);
    EXPECT_EQ(statuses[r], status) << "row " << r;
    EXPECT_STREQ(rulecalc_row_text(table.Handle, r, nullptr), status == RULECALC_HELD ? "" : single.GetRuntimeError());
  }
  EXPECT_STREQ(rulecalc_row_text(table.Handle, kRows, nullptr), "");
}

INSTANTIATE_TEST_SUITE_P(Sentences, HandleRows,
                         ::testing::Values(SRowsCase{"A>-1;", RULECALC_HELD},
                                           SRowsCase{"IF A>1 THEN B>2 ELSE B>3 AND S=\"y\";", RULECALC_FAILED},
                                           SRowsCase{"A>1 OR B>2 OR LENGTH(S)>0;", RULECALC_FAILED}));

struct SFailedClausesCase {
  const char* Sentence;   // A is 5, S "q", T "y"
  const char* Clauses;    // UTF-8: "names|text" of each failed clause, one per line
};

void PrintTo(const SFailedClausesCase& c, std::ostream* out) { *out << c.Sentence; }

class FailedClauses : public ::testing::TestWithParam<SFailedClausesCase> {};

// The failed clauses are spans of the explanation as it was made: a ";" or
// "::" inside a text literal is no border. The first run reads the clauses
// from the sentence, the second reuses what it read.
TEST_P(FailedClauses, AreSpansOfTheExplanation) {
  THandleCalls calc;
  calc.SetVarValue("A", "5", RULECALC_NUMBER);
  calc.SetVarValue("S", "q", RULECALC_TEXT);
  calc.SetVarValue("T", "y", RULECALC_TEXT);
  calc.SetSentence(testing::Gbk(GetParam().Sentence).c_str());
  ASSERT_TRUE(calc.Analyse());
  for (int run = 0; run < 2; ++run) {
    rulecalc_run(calc.Handle);
    const std::string explanation = calc.GetRuntimeError();
    std::string found;
    for (size_t i = 0; i < rulecalc_failed_clause_count(calc.Handle); ++i) {
      size_t textStart = 0, textLength = 0, namesStart = 0, namesLength = 0;
      ASSERT_EQ(rulecalc_failed_clause(calc.Handle, i, &textStart, &textLength, &namesStart, &namesLength), 0);
      ASSERT_LE(textStart + textLength, explanation.size());
      ASSERT_LE(namesStart + namesLength, explanation.size());
      found += explanation.substr(namesStart, namesLength) + "|" + explanation.substr(textStart, textLength) + "\n";
    }
    EXPECT_EQ(testing::Utf8(found), GetParam().Clauses) << "run " << run;
    EXPECT_EQ(rulecalc_failed_clause(calc.Handle, rulecalc_failed_clause_count(calc.Handle), nullptr, nullptr,
                                     nullptr, nullptr), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, FailedClauses,
    ::testing::Values(
        SFailedClausesCase{"S = \"a;b::c\" AND T = \"x;\";", "S|S = \"a;b::c\" \nT| T = \"x;\"\n"},
        SFailedClausesCase{"A>9 AND T||S=\"x\" OR A<1;", "A|A>9 \nT,S| T||S=\"x\" \nA| A<1\n"},
        SFailedClausesCase{"A>9 OR A>1 AND A>8;", "A| A>8\n"},
        SFailedClausesCase{"IF A>1 THEN A>9;", "A|IF A>1 成立则 A>9\n"},
        SFailedClausesCase{"IF 1>2 THEN 1>2 ELSE 2>3;", "|IF 1>2 不成立则\n"},
        SFailedClausesCase{"1>2 AND A>9;", "A| A>9\n"},
        SFailedClausesCase{"A>1 OR A>9;", ""}));

// A table without an array it needs is refused, every row marked a run-time error.
TEST(HandleRows, RefuseAMissingArray) {
  const char* const names[] = {"A"};
  const int32_t types[] = {RULECALC_NUMBER};
  const char* const values[] = {"2", "0"};
  THandleCalls calc;
  calc.SetVarValue("A", "1", 0);
  calc.SetSentence("A>1;");
  ASSERT_TRUE(calc.Analyse());
  struct SArrays {
    const char* const* Names;
    const int32_t* Types;
    const char* const* Values;
  };
  for (const SArrays& a : {SArrays{nullptr, types, values}, SArrays{names, nullptr, values}, SArrays{names, types, nullptr}}) {
    uint8_t statuses[2] = {0, 0};
    EXPECT_EQ(rulecalc_run_rows(calc.Handle, 2, 1, a.Names, a.Types, a.Values, statuses), RULECALC_RUNTIME_ERROR);
    EXPECT_EQ(statuses[0] + statuses[1], 2 * RULECALC_RUNTIME_ERROR);
  }
  EXPECT_EQ(rulecalc_run_rows(calc.Handle, 2, 1, names, types, values, nullptr), RULECALC_RUNTIME_ERROR);
  EXPECT_EQ(rulecalc_run_rows(calc.Handle, 0, 1, names, types, nullptr, nullptr), RULECALC_HELD);
  uint8_t statuses[2] = {};
  EXPECT_EQ(rulecalc_run_rows(calc.Handle, 2, 0, nullptr, nullptr, nullptr, statuses), RULECALC_FAILED);
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
  for (const int language : {-1, 2}) EXPECT_EQ(rulecalc_set_language(calc.Handle, language), -1) << language;
}

// The language stays what it was set to through rulecalc_clear: NOT is a
// variable's name in the classic language only.
TEST(HandleSettings, KeepTheLanguageThroughAClear) {
  THandleCalls calc;
  const auto analysesWithNot = [&calc] {
    rulecalc_set_variable(calc.Handle, "NOT", "2", RULECALC_NUMBER);
    calc.SetSentence("NOT>1;");
    return calc.Analyse();
  };
  EXPECT_TRUE(analysesWithNot());
  ASSERT_EQ(rulecalc_set_language(calc.Handle, RULECALC_LANGUAGE_EXTENDED), 0);
  rulecalc_clear(calc.Handle);
  EXPECT_FALSE(analysesWithNot());
  ASSERT_EQ(rulecalc_set_language(calc.Handle, RULECALC_LANGUAGE_CLASSIC), 0);
  EXPECT_TRUE(analysesWithNot());
}

// A host check that says stop from its `StopAt`-th question on (0: never).
struct SInterruptCheck {
  int StopAt = 0;
  int Asked = 0;
  static int RULECALC_CDECL Ask(void* data) {
    auto* check = static_cast<SInterruptCheck*>(data);
    return ++check->Asked >= check->StopAt && check->StopAt > 0;
  }
};

enum class ELongCall { Analyse, Run, RunRows, Tokens, Numbers, Varnames };

void PrintTo(ELongCall call, std::ostream* out) { *out << static_cast<int>(call); }

// What one call gave: its status (1/0 for analysis, none for listings) and its text.
std::pair<int, std::string> MakeCall(THandleCalls& calc, ELongCall call) {
  size_t length = 0;
  uint8_t statuses[3] = {};
  const char* const names[] = {"A"};
  const int32_t types[] = {RULECALC_NUMBER};
  const char* const values[] = {"2", "0", "2"};
  switch (call) {
    case ELongCall::Analyse: return {rulecalc_analyse(calc.Handle), calc.GetAnalyseError()};
    case ELongCall::Run: return {rulecalc_run(calc.Handle), calc.GetRuntimeError()};
    case ELongCall::RunRows: {
      const int worst = rulecalc_run_rows(calc.Handle, 3, 1, names, types, values, statuses);
      return {worst * 100 + statuses[0] * 10 + statuses[2], rulecalc_row_text(calc.Handle, 2, nullptr)};
    }
    case ELongCall::Tokens: return {-1, std::string(rulecalc_tokens(calc.Handle, &length), length)};
    case ELongCall::Numbers: return {-1, std::string(rulecalc_numbers(calc.Handle, &length), length)};
    default: return {-1, std::string(rulecalc_varnames(calc.Handle, &length), length)};
  }
}

class Interrupt : public ::testing::TestWithParam<ELongCall> {
 protected:
  // A rule of some 40,000 tokens and as many instructions, analysed unless
  // the analysis itself is the call under test.
  void Prepare(THandleCalls& calc) {
    std::string sentence;
    for (int i = 0; i < 5000; ++i) sentence += "A > 1 AND ";
    calc.SetVarValue("A", "2", RULECALC_NUMBER);
    calc.SetSentence((sentence + "A > 1;").c_str());
    if (GetParam() != ELongCall::Analyse) {
      ASSERT_TRUE(calc.Analyse());
    }
  }
};

// Told to stop, the call ends at the first question with its interrupted
// result; a check that never says stop changes nothing.
TEST_P(Interrupt, EndsTheCallWhenTheHostSaysStop) {
  THandleCalls plain, stopped, asked;
  Prepare(plain);
  Prepare(stopped);
  Prepare(asked);
  SInterruptCheck stop{1}, never{0};
  ASSERT_EQ(rulecalc_set_interrupt(stopped.Handle, SInterruptCheck::Ask, &stop), 0);
  ASSERT_EQ(rulecalc_set_interrupt(asked.Handle, SInterruptCheck::Ask, &never), 0);
  const std::pair<int, std::string> expected = MakeCall(plain, GetParam());
  const std::pair<int, std::string> interrupted = MakeCall(stopped, GetParam());
  EXPECT_EQ(MakeCall(asked, GetParam()), expected);
  EXPECT_GT(never.Asked, 1);
  EXPECT_EQ(stop.Asked, 1);
  const std::string message = "运算被调用方中断!";
  switch (GetParam()) {
    case ELongCall::Analyse: EXPECT_EQ(interrupted, std::make_pair(0, testing::Gbk(message))); break;
    case ELongCall::Run: EXPECT_EQ(interrupted, std::make_pair(int{RULECALC_RUNTIME_ERROR}, testing::Gbk(message))); break;
    case ELongCall::RunRows: EXPECT_EQ(interrupted, std::make_pair(222, testing::Gbk(message))); break;
    default: EXPECT_EQ(interrupted, std::make_pair(-1, std::string())); break;
  }
  // Without the check the handle answers as before.
  ASSERT_EQ(rulecalc_set_interrupt(stopped.Handle, nullptr, nullptr), 0);
  if (GetParam() != ELongCall::Analyse) {
    EXPECT_EQ(MakeCall(stopped, GetParam()), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, Interrupt,
                         ::testing::Values(ELongCall::Analyse, ELongCall::Run, ELongCall::RunRows, ELongCall::Tokens,
                                           ELongCall::Numbers, ELongCall::Varnames));

enum class EListing { Tokens, Numbers, Varnames };

struct SListingCase {
  EListing Listing;
  const char* Sentence;
  std::vector<std::string> Items;
};

void PrintTo(const SListingCase& c, std::ostream* out) { *out << c.Sentence; }

class ListingItems : public ::testing::TestWithParam<SListingCase> {};

// The items are the listing's own spans: a ";" inside a text literal, the
// token ";" and leading blanks each stay one item.
TEST_P(ListingItems, AreSpansOfTheListing) {
  THandleCalls calc;
  calc.SetSentence(GetParam().Sentence);
  size_t length = 0;
  const char* listing = GetParam().Listing == EListing::Tokens    ? rulecalc_tokens(calc.Handle, &length)
                        : GetParam().Listing == EListing::Numbers ? rulecalc_numbers(calc.Handle, &length)
                                                                  : rulecalc_varnames(calc.Handle, &length);
  std::vector<std::string> items;
  for (size_t i = 0; i < rulecalc_listing_item_count(calc.Handle); ++i) {
    size_t start = 0, itemLength = 0;
    ASSERT_EQ(rulecalc_listing_item(calc.Handle, i, &start, &itemLength), 0);
    ASSERT_LE(start + itemLength, length);
    items.emplace_back(listing + start, itemLength);
  }
  EXPECT_EQ(items, GetParam().Items);
  EXPECT_EQ(rulecalc_listing_item(calc.Handle, items.size(), nullptr, nullptr), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Sentences, ListingItems,
    ::testing::Values(SListingCase{EListing::Tokens, "", {}}, SListingCase{EListing::Tokens, "A+B", {"A", "+", "B"}},
                      SListingCase{EListing::Tokens, "A>1;", {"A", ">", "1", ";"}},
                      SListingCase{EListing::Tokens, "x=\"a;b\";", {"x", "=", "\"a;b\"", ";"}},
                      SListingCase{EListing::Tokens, "\"\";", {"\"\"", ";"}},
                      SListingCase{EListing::Tokens, "\";abc", {"\"", ";", "abc"}},
                      SListingCase{EListing::Tokens, "  x", {"  ", "x"}},
                      SListingCase{EListing::Numbers, "IF x >= 10 THEN y = 2.5 ELSE y = 0;", {"10", "2.5", "0"}},
                      SListingCase{EListing::Varnames, "", {}},
                      SListingCase{EListing::Varnames, "a + A + b1 + B1 > 0;", {"a", "b1"}}));

struct SStopCase {
  const char* Sentence;  // AGE and SCORE are numbers
  size_t Offset;
  size_t Length;
};

void PrintTo(const SStopCase& c, std::ostream* out) { *out << c.Sentence; }

class AnalysisStop : public ::testing::TestWithParam<SStopCase> {};

// Where the analyser stopped stays known after the listings rescan the sentence.
TEST_P(AnalysisStop, IsTheTokenItStoppedAtOrTheEnd) {
  THandleCalls calc;
  calc.SetVarValue("AGE", "", RULECALC_NUMBER);
  calc.SetVarValue("SCORE", "", RULECALC_NUMBER);
  calc.SetSentence(GetParam().Sentence);
  calc.Analyse();
  calc.GetTokens();
  size_t offset = 99, length = 99;
  EXPECT_EQ(rulecalc_analysis_stop(calc.Handle, &offset, &length), 0);
  EXPECT_EQ(offset, GetParam().Offset);
  EXPECT_EQ(length, GetParam().Length);
}

INSTANTIATE_TEST_SUITE_P(Sentences, AnalysisStop,
                         ::testing::Values(SStopCase{"IF AGE>=18 THEN SCORE;", 21, 1},
                                           SStopCase{"AGE>1 AND SCORE", 15, 0},
                                           SStopCase{"AGE > > 1;", 6, 1},
                                           SStopCase{"AGE>1;", 5, 1}));

struct SNumberCase {
  const char* Text;
  int Read;
  double Number;
};

class ReadNumber : public ::testing::TestWithParam<SNumberCase> {};

TEST_P(ReadNumber, ReadsAsANumericVariableIsRead) {
  THandleCalls calc;
  double number = -7;
  EXPECT_EQ(rulecalc_read_number(calc.Handle, GetParam().Text, &number), GetParam().Read) << GetParam().Text;
  EXPECT_EQ(number, GetParam().Number) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadNumber,
                         ::testing::Values(SNumberCase{"42", 1, 42}, SNumberCase{" -1.5e3 ", 1, -1500},
                                           SNumberCase{".5", 1, 0.5}, SNumberCase{"", 0, -7},
                                           SNumberCase{"1,5", 0, -7}, SNumberCase{"12abc", 0, -7},
                                           SNumberCase{"0x10", 0, -7}, SNumberCase{nullptr, 0, -7}));

// A numeric variable A and a text variable S, each set once by its slot.
struct SSlotCase {
  const char* Sentence;
  bool Number;      // A's value as a number, else as the bytes of Text
  double Value;
  const char* Bytes;
  size_t Length;
  long Slot;        // 0: A, 1: S
  rulecalc_status Status;
};

void PrintTo(const SSlotCase& c, std::ostream* out) { *out << c.Sentence; }

class Slots : public ::testing::TestWithParam<SSlotCase> {};

TEST_P(Slots, SetWhatTheSentenceReads) {
  THandleCalls calc;
  ASSERT_EQ(rulecalc_bind_variable(calc.Handle, "A", RULECALC_NUMBER), 0);
  ASSERT_EQ(rulecalc_bind_variable(calc.Handle, "s", RULECALC_TEXT), 1);
  rulecalc_set_variable(calc.Handle, "S", "x", RULECALC_TEXT);
  const SSlotCase& c = GetParam();
  EXPECT_EQ(c.Number ? rulecalc_set_number(calc.Handle, c.Slot, c.Value)
                     : rulecalc_set_text(calc.Handle, c.Slot, c.Bytes, c.Length),
            0);
  calc.SetSentence(c.Sentence);
  ASSERT_EQ(rulecalc_analyse(calc.Handle), 1);
  EXPECT_EQ(rulecalc_run(calc.Handle), c.Status) << c.Sentence;
}

INSTANTIATE_TEST_SUITE_P(
    Values, Slots,
    ::testing::Values(SSlotCase{"A=12.5;", true, 12.5, nullptr, 0, 0, RULECALC_HELD},
                      SSlotCase{"A>1;", true, -3, nullptr, 0, 0, RULECALC_FAILED},
                      SSlotCase{"A=NULL;", true, 0.0000001, nullptr, 0, 0, RULECALC_HELD},
                      SSlotCase{"S=\"3\" AND A=NULL;", true, 3, nullptr, 0, 1, RULECALC_HELD},
                      SSlotCase{"S=\"0.25\";", true, 0.25, nullptr, 0, 1, RULECALC_HELD},
                      SSlotCase{"S=\"1e-20\";", true, 1e-20, nullptr, 0, 1, RULECALC_HELD},
                      SSlotCase{"A=7;", false, 0, "7\0" "99", 3, 0, RULECALC_HELD},
                      SSlotCase{"A=7;", false, 0, "789", 1, 0, RULECALC_HELD},
                      SSlotCase{"A=NULL;", false, 0, nullptr, 0, 0, RULECALC_HELD},
                      SSlotCase{"S=\"\";", false, 0, "", 0, 1, RULECALC_HELD}));

// A refused value changes nothing; a slot is gone with the table it named.
TEST(Slots, RefuseWhatTheyCannotSet) {
  THandleCalls calc;
  const long a = rulecalc_bind_variable(calc.Handle, "A", RULECALC_NUMBER);
  EXPECT_EQ(rulecalc_bind_variable(calc.Handle, "a", RULECALC_TEXT), a);
  EXPECT_EQ(rulecalc_bind_variable(calc.Handle, nullptr, RULECALC_NUMBER), -1);
  EXPECT_EQ(rulecalc_set_number(calc.Handle, a, 4), 0);
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) EXPECT_EQ(rulecalc_set_number(calc.Handle, a, bad), -1);
  EXPECT_EQ(rulecalc_set_number(calc.Handle, -1, 1), -1);
  EXPECT_EQ(rulecalc_set_number(calc.Handle, a + 1, 1), -1);
  EXPECT_EQ(rulecalc_set_text(calc.Handle, a, nullptr, 2), -1);
  calc.SetSentence("A=4;");
  calc.Analyse();
  EXPECT_EQ(rulecalc_run(calc.Handle), RULECALC_HELD);
  rulecalc_clear(calc.Handle);
  EXPECT_EQ(rulecalc_set_text(calc.Handle, a, "1", 1), -1);
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
  uint8_t status = RULECALC_HELD;
  EXPECT_EQ(rulecalc_run_rows(nullptr, 1, 0, nullptr, nullptr, nullptr, &status), RULECALC_RUNTIME_ERROR);
  EXPECT_EQ(status, RULECALC_RUNTIME_ERROR);
  EXPECT_STREQ(rulecalc_row_text(nullptr, 0, &length), "");
  EXPECT_EQ(rulecalc_set_date_order(nullptr, RULECALC_DATE_DMY), -1);
  EXPECT_EQ(rulecalc_set_date_separator(nullptr, '.'), -1);
  EXPECT_EQ(rulecalc_set_current_year(nullptr, 2000), -1);
  EXPECT_EQ(rulecalc_set_language(nullptr, RULECALC_LANGUAGE_EXTENDED), -1);
  EXPECT_EQ(rulecalc_set_interrupt(nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(rulecalc_warning_count(nullptr), 0u);
  EXPECT_EQ(rulecalc_warning(nullptr, 0, &position, &length), nullptr);
  EXPECT_EQ(rulecalc_failed_clause_count(nullptr), 0u);
  EXPECT_EQ(rulecalc_failed_clause(nullptr, 0, &length, &length, &length, &length), -1);
  EXPECT_EQ(rulecalc_analysis_stop(nullptr, &length, &length), -1);
  EXPECT_EQ(rulecalc_memory_ran_out(nullptr), 0);
  EXPECT_EQ(rulecalc_read_number(nullptr, "1", nullptr), -1);
  EXPECT_EQ(rulecalc_bind_variable(nullptr, "A", RULECALC_NUMBER), -1);
  EXPECT_EQ(rulecalc_set_number(nullptr, 0, 1), -1);
  EXPECT_EQ(rulecalc_set_text(nullptr, 0, "1", 1), -1);
  EXPECT_EQ(rulecalc_listing_item_count(nullptr), 0u);
  EXPECT_EQ(rulecalc_listing_item(nullptr, 0, &length, &length), -1);
  rulecalc_note_info note{};
  EXPECT_EQ(rulecalc_set_notes(nullptr, 1), -1);
  EXPECT_EQ(rulecalc_note_count(nullptr), 0u);
  EXPECT_EQ(rulecalc_note(nullptr, 0, &note), -1);
  EXPECT_STREQ(rulecalc_version(), RULECALC_VERSION_STRING);
  EXPECT_STREQ(rulecalc_version(), RULECALC_PROJECT_VERSION);
  rulecalc_rules_close(nullptr);
  EXPECT_EQ(rulecalc_rules_bind(nullptr, "A", RULECALC_NUMBER), -1);
  EXPECT_EQ(rulecalc_rules_set_number(nullptr, 0, 1), -1);
  EXPECT_EQ(rulecalc_rules_set_text(nullptr, 0, "1", 1), -1);
  EXPECT_EQ(rulecalc_rules_add(nullptr, "r", "A>1;"), -1);
  EXPECT_EQ(rulecalc_rules_count(nullptr), 0u);
  EXPECT_STREQ(rulecalc_rules_name(nullptr, 0, &length), "");
  EXPECT_EQ(rulecalc_rules_run(nullptr, &status), RULECALC_RUNTIME_ERROR);
  EXPECT_STREQ(rulecalc_rules_text(nullptr, 0, &length), "");
  EXPECT_EQ(rulecalc_rules_rule(nullptr, 0), nullptr);
}

// A set takes the settings of the calculator it was opened from; a rule
// that does not analyse answers with its analysis error; a rule's own
// handle cannot be closed, cleared or given another sentence.
TEST(RuleSet, RunsEveryRuleOverOneTable) {
  THandleCalls settings;
  ASSERT_EQ(rulecalc_set_date_order(settings.Handle, RULECALC_DATE_DMY), 0);
  ASSERT_EQ(rulecalc_set_date_separator(settings.Handle, '/'), 0);
  rulecalc_rules* set = rulecalc_rules_open(settings.Handle);
  const long age = rulecalc_rules_bind(set, "AGE", RULECALC_NUMBER);
  const long day = rulecalc_rules_bind(set, "APPLIED", RULECALC_TEXT);
  EXPECT_EQ(rulecalc_rules_add(set, "adult", "AGE>=18;"), 0);
  EXPECT_EQ(rulecalc_rules_add(set, "march", "MONTH(TODATE(APPLIED))=3;"), 1);
  EXPECT_EQ(rulecalc_rules_add(set, "broken", "AGE>=;"), 2);
  EXPECT_EQ(rulecalc_rules_add(set, "unbound", "SCORE>1;"), 3);
  EXPECT_EQ(rulecalc_rules_add(set, nullptr, "AGE>1;"), -1);
  ASSERT_EQ(rulecalc_rules_count(set), 4u);
  size_t length = 0;
  EXPECT_STREQ(rulecalc_rules_name(set, 1, &length), "march");
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(rulecalc_rules_set_number(set, age, std::nan("")), -1);
  EXPECT_EQ(rulecalc_rules_set_number(set, day + 1, 1), -1);
  ASSERT_EQ(rulecalc_rules_set_number(set, age, 17), 0);
  ASSERT_EQ(rulecalc_rules_set_text(set, day, "01/03/2024", 10), 0);
  uint8_t statuses[4] = {};
  EXPECT_EQ(rulecalc_rules_run(set, statuses), RULECALC_RUNTIME_ERROR);
  EXPECT_EQ(std::vector<int>(statuses, statuses + 4), (std::vector<int>{1, 0, 2, 2}));
  EXPECT_NE(std::string(rulecalc_rules_text(set, 0, nullptr)).find("AGE"), std::string::npos);
  EXPECT_STREQ(rulecalc_rules_text(set, 1, nullptr), "");
  EXPECT_STRNE(rulecalc_rules_text(set, 2, nullptr), "");
  EXPECT_NE(std::string(rulecalc_rules_text(set, 3, nullptr)).find("SCORE"), std::string::npos);
  EXPECT_STREQ(rulecalc_rules_text(set, 4, &length), "");
  rulecalc_handle* adult = rulecalc_rules_rule(set, 0);
  EXPECT_EQ(rulecalc_rules_rule(set, 4), nullptr);
  EXPECT_EQ(rulecalc_failed_clause_count(adult), 1u);
  rulecalc_close(adult);
  rulecalc_clear(adult);
  rulecalc_set_sentence(adult, "AGE<0;");
  EXPECT_EQ(rulecalc_analyse(adult), 1);
  EXPECT_EQ(rulecalc_analyse(rulecalc_rules_rule(set, 2)), 0);
  ASSERT_EQ(rulecalc_rules_set_text(set, age, "18", 2), 0);
  EXPECT_EQ(rulecalc_rules_run(set, nullptr), RULECALC_RUNTIME_ERROR);
  EXPECT_STREQ(rulecalc_rules_text(set, 0, nullptr), "");
  rulecalc_rules_close(set);
}

// Notes are off until asked for, survive a clear, and hold the last run's
// fallbacks: of rulecalc_run, and of the last row of rulecalc_run_rows.
TEST(HandleNotes, ListTheLastRunsFallbacksWhenAskedFor) {
  THandleCalls calc;
  calc.SetVarValue("A", "12x5", 0);
  calc.SetSentence("A/2>1;");
  ASSERT_TRUE(calc.Analyse());
  EXPECT_FALSE(calc.Run());
  EXPECT_EQ(rulecalc_note_count(calc.Handle), 0u);
  EXPECT_EQ(rulecalc_set_notes(calc.Handle, 2), -1);
  ASSERT_EQ(rulecalc_set_notes(calc.Handle, 1), 0);
  EXPECT_FALSE(calc.Run());
  EXPECT_STREQ(calc.GetRuntimeError(), "A::A/2>1;");
  ASSERT_EQ(rulecalc_note_count(calc.Handle), 1u);
  rulecalc_note_info note{};
  ASSERT_EQ(rulecalc_note(calc.Handle, 0, &note), 0);
  EXPECT_EQ(note.kind, RULECALC_NOTE_NOT_A_NUMBER);
  EXPECT_EQ(note.position, 0);
  EXPECT_STREQ(note.function, "");
  EXPECT_STREQ(note.argument, "A");
  EXPECT_STREQ(note.value, "12x5");
  EXPECT_STREQ(note.message, "A could not be read as a number");
  EXPECT_EQ(std::string(note.text), std::string(note.message) + " '12x5': " + note.reason);
  EXPECT_EQ(rulecalc_note(calc.Handle, 1, &note), -1);

  calc.ClearMemory();
  calc.SetVarValue("B", "0", 0);
  calc.SetSentence("1/B=0;");
  ASSERT_TRUE(calc.Analyse());
  const char* names[] = {"B"};
  const int32_t types[] = {0};
  const char* values[] = {"0", "4"};
  uint8_t statuses[2] = {};
  EXPECT_EQ(rulecalc_run_rows(calc.Handle, 2, 1, names, types, values, statuses), RULECALC_FAILED);
  EXPECT_EQ(rulecalc_note_count(calc.Handle), 0u);
  EXPECT_EQ(rulecalc_run_rows(calc.Handle, 1, 1, names, types, values, statuses), RULECALC_HELD);
  ASSERT_EQ(rulecalc_note_count(calc.Handle), 1u);
  ASSERT_EQ(rulecalc_note(calc.Handle, 0, nullptr), 0);
  ASSERT_EQ(rulecalc_set_notes(calc.Handle, 0), 0);
  EXPECT_TRUE(calc.Run());
  EXPECT_EQ(rulecalc_note_count(calc.Handle), 0u);
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
