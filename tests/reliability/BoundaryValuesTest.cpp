// What crosses the C boundary and what the built-ins receive in registers
// can be anything: null pointers as texts, counts far outside a text, NaN and
// infinities. Each case must stay inside its buffers (the sanitizer build
// proves that) and give an answer within what the operation promises.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "rulecalc.h"
#include "support/TestCalc.h"
#include "vm/Builtins.h"
#include "vm/DateBuiltins.h"

namespace rulecalc {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// --- Null pointers at the flat exports ---

struct SNullCase {
  const char* Name;
  const char* Value;
  std::int32_t Type;
  const char* Sentence;  // must hold once the variable is set
};

class NullTexts : public ::testing::TestWithParam<SNullCase> {};

TEST_P(NullTexts, CountAsTheEmptyText) {
  const SNullCase& c = GetParam();
  ::ClearMemory();
  ::SetSentence(nullptr);
  EXPECT_STREQ(::GetTokens(), "");
  EXPECT_STREQ(::GetVarnames(), "");
  ::SetVarValue(c.Name, c.Value, c.Type);
  ::SetSentence(c.Sentence);
  ASSERT_TRUE(::Analyse()) << testing::Utf8(::GetAnalyseError());
  EXPECT_TRUE(::Run()) << testing::Utf8(::GetRuntimeError());
  ::SetSentence(nullptr);
  EXPECT_FALSE(::Analyse());
  EXPECT_EQ(testing::Utf8(::GetAnalyseError()), "表达式语法定义错误!");
}

INSTANTIATE_TEST_SUITE_P(
    FlatExports, NullTexts,
    ::testing::Values(SNullCase{"A", nullptr, 0, "A=NULL AND A+1=1;"},  // the null number
                      SNullCase{"S", nullptr, 1, "S=\"\" AND LENGTH(S)=0;"},
                      SNullCase{"S", nullptr, 7, "LENGTH(S)=0;"},
                      SNullCase{nullptr, "5", 0, ";"},  // a variable with the empty name
                      SNullCase{nullptr, nullptr, 1, ";"}));

// The empty name is an ordinary name: set through a null pointer, it is
// replaced through the empty text and the other way round.
TEST(NullTexts, ANullNameAndTheEmptyNameAreOneVariable) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue(nullptr, "1", 0);
  calc->SetVarValue("", "2", 1);
  calc->SetVarValue(nullptr, nullptr, 1);
  ASSERT_EQ(calc->Machine.Vars.All().size(), 1u);
  EXPECT_EQ(calc->Machine.Vars.All()[0].Type, 1);
  EXPECT_EQ(calc->Machine.Vars.All()[0].Value, "");
}

// --- SUBSTR and FINDSTR with any register value ---

const std::vector<double>& Counts() {
  static const std::vector<double> counts{kNaN, -kNaN, kInf, -kInf, -1e300, 1e300, -2147483649.0,
                                          -2147483648.0, -1.5, -1.0, -0.5, -0.0, 0.0, 0.5, 1.0,
                                          2.9, 3.0, 4.0, 5.0, 6.0, 7.0, 299.0, 300.0, 301.0,
                                          2147483647.0, 2147483648.0, 4294967296.0};
  return counts;
}

const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts{"", "a", "ab\xd6\xd0", std::string(300, 'x') + "yz"};
  return texts;
}

// A count as the built-ins take it: truncated toward zero, stopped at the
// ends of the signed 32-bit range, NaN as 0.
std::int64_t AsCount(double value) {
  if (std::isnan(value)) return 0;
  if (value <= -2147483648.0) return -2147483648LL;
  if (value >= 2147483647.0) return 2147483647LL;
  return static_cast<std::int64_t>(value);
}

// SUBSTR from the truncated start, at most the truncated count of bytes (a
// negative or too large count takes the rest); a start outside the text
// gives the empty text.
std::string ExpectedSubstr(const std::string& text, double start, double count) {
  const std::int64_t from = AsCount(start), take = AsCount(count);
  const auto length = static_cast<std::int64_t>(text.size());
  if (from < 0 || from >= length) return "";
  const std::int64_t rest = length - from;
  return text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(take < 0 || take > rest ? rest : take));
}

TEST(RegisterValues, SubstrStaysInsideTheText) {
  for (const std::string& text : Texts())
    for (double start : Counts())
      for (double count : Counts()) {
        SRegisters r;
        r.S0 = text;
        r.C0 = start;
        r.C1 = count;
        ExecuteBuiltin(opSubstr, 1, r, SHostEnvironment{});
        ASSERT_EQ(r.S0, ExpectedSubstr(text, start, count))
            << "SUBSTR(" << text.size() << " bytes, " << start << ", " << count << ")";
      }
}

// Where part first occurs starting on a character of the GBK text (a byte
// 0x81-0xFE starts two), or npos: what FINDSTR answers, worked out from the
// characters rather than by searching bytes.
std::size_t FirstMatchOnACharacter(const std::string& text, const std::string& part) {
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, part.size(), part) == 0) return at;
    const auto byte = static_cast<unsigned char>(text[at]);
    at += byte >= 0x81 && byte <= 0xFE ? 2 : 1;
  }
  return std::string::npos;
}

TEST(RegisterValues, FindstrAnswersAPlaceInsideTheText) {
  std::vector<std::string> parts = Texts();
  parts.insert(parts.end(), {"b", "\xd0", "yz", std::string(301, 'x'), "zz"});
  for (const std::string& text : Texts())
    for (const std::string& part : parts) {
      SRegisters r;
      r.S0 = text;
      r.S1 = part;
      ExecuteBuiltin(opFindstr, 0, r, SHostEnvironment{});
      const std::string where = "FINDSTR(" + std::to_string(text.size()) + " bytes, " +
                                std::to_string(part.size()) + " bytes)";
      if (r.C0 == -1) {
        EXPECT_EQ(FirstMatchOnACharacter(text, part), std::string::npos) << where;
        continue;
      }
      ASSERT_GE(r.C0, 0) << where;
      const auto at = static_cast<std::size_t>(r.C0);
      ASSERT_LE(at + part.size(), text.size()) << where;
      EXPECT_EQ(text.compare(at, part.size(), part), 0) << where;
      EXPECT_EQ(at, FirstMatchOnACharacter(text, part)) << where;
    }
}

// Every built-in, with every count in both number registers: nothing stops
// and nothing leaves the registers' texts.
TEST(RegisterValues, EveryBuiltinTakesAnyNumber) {
  const EMOpCode builtins[] = {opLength, opSubstr, opFindstr, opNvl, opTodate, opTochar, opAddyears,
                               opAddmonths, opAdddays, opYear, opMonth, opDay, opLastday, opLg};
  for (EMOpCode op : builtins)
    for (double c0 : Counts())
      for (double c1 : {kNaN, -kInf, -2147483649.0, 0.0, 1.0, 2147483648.0, 1e300})
        for (std::uint8_t valueType : {0, 1, 2}) {
          SRegisters r;
          r.C0 = c0;
          r.C1 = c1;
          r.S0 = "yyyy-mm-dd hh:nn:ss zzz";
          r.S1 = "12/31/9999";
          ExecuteBuiltin(op, valueType, r, SHostEnvironment{});
          EXPECT_LE(r.S0.size(), 300u) << static_cast<int>(op);
        }
}

// --- The fixed-size buffers ---

TEST(Buffers, TocharIsCutAt256Bytes) {
  const SRegionalSettings settings;
  const std::string formats[] = {std::string(400, 'y'), std::string(100, 'c'),
                                 std::string(255, '-') + "\xd6\xd0", std::string(600, '\xd6'),
                                 std::string(70, 'd') + std::string(70, 'm')};
  for (const std::string& format : formats)
    for (double date : {45351.5, -657434.0, 2958465.9999, 0.0}) {
      const std::string text = FormatDate(date, format, settings);
      EXPECT_LE(text.size(), 256u) << format.substr(0, 8) << " " << date;
    }
}

TEST(Buffers, TheLongestLabelFitsTheLabelBuffer) {
  auto calc = testing::MakeCalc();
  calc->Machine.LabelCount = std::numeric_limits<std::int32_t>::max() - 1;
  EXPECT_EQ(calc->Machine.NewLabel(), "Label2147483647");
}

TEST(Buffers, TheResultBufferHoldsAtMost2047Bytes) {
  std::string sentence;
  while (sentence.size() < 3000) sentence += "ab\xd6\xd0+";  // GBK bytes are one-byte error tokens
  ::SetSentence(sentence.c_str());
  const char* tokens = ::GetTokens();
  EXPECT_EQ(std::strlen(tokens), 2047u);
  EXPECT_EQ(tokens[2047], '\0');
  ::SetSentence("A");
  EXPECT_STREQ(::GetTokens(), "A;");
  EXPECT_EQ(tokens[2047], '\0');
}

// --- The same through sentences: variables hold the extreme values ---

struct SExtremeCase {
  const char* Start;
  const char* Count;
};

class ExtremeVariables : public ::testing::TestWithParam<SExtremeCase> {};

TEST_P(ExtremeVariables, RunWithoutLeavingTheTexts) {
  const SExtremeCase& c = GetParam();
  auto calc = testing::MakeCalc();
  calc->SetVarValue("P", c.Start, 0);
  calc->SetVarValue("N", c.Count, 0);
  calc->SetVarValue("S", "abcdef", 1);
  calc->SetVarValue("L", std::string(3000, 'l').c_str(), 1);
  calc->SetSentence(
      "SUBSTR(S,P,N)||SUBSTR(L,P,N)<>\"?\" AND FINDSTR(SUBSTR(L,P,N),SUBSTR(S,N,P))>=-1 AND "
      "TOCHAR(ADDDAYS(P,N),\"yyyymmdd\")||TOCHAR(ADDYEARS(N,P),\"c\")<>\"?\" AND "
      "YEAR(ADDMONTHS(P,N))+LASTDAY(N)+LG(P)*N<>0.5 AND L||L>S;");
  ASSERT_TRUE(calc->Analyse()) << testing::Utf8(calc->GetAnalyseError());
  calc->Run();
  EXPECT_LT(std::strlen(calc->GetRuntimeError()), 2048u);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ExtremeVariables,
    ::testing::Values(SExtremeCase{"1e308", "-1e308"}, SExtremeCase{"-2147483649", "2147483648"},
                      SExtremeCase{"2147483647", "2147483647"}, SExtremeCase{"-1", "-1"},
                      SExtremeCase{"6", "0"}, SExtremeCase{"3000", "1"}, SExtremeCase{"", "abc"},
                      SExtremeCase{"2958465.99999999", "1"}, SExtremeCase{"-657434", "-1"},
                      SExtremeCase{"1e-320", "4e9"}));

}  // namespace
}  // namespace rulecalc
