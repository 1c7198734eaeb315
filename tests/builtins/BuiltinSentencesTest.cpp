// The built-in functions through whole sentences of the C++ API.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "builtins/DateSettings.h"
#include "support/TestCalc.h"

namespace rulecalc {
namespace {

using testing::EnvironmentWith;
using testing::Gbk;
using testing::MakeCalc;
using testing::Utf8;

struct SSentenceCase {
  const char* Sentence;  // UTF-8; run as GBK
  bool Holds;
};

void PrintTo(const SSentenceCase& c, std::ostream* out) { *out << c.Sentence; }

// D is Tuesday 5 March 2024, 14:07; N a number set empty, X one that is not
// a number, T an empty text, S a text of two GBK characters, L a text that
// ends in a lone lead byte.
void SetVariables(TRuleCalc& calc) {
  calc.SetVarValue("D", "45356.588194444", 0);
  calc.SetVarValue("N", "", 0);
  calc.SetVarValue("X", "abc", 0);
  calc.SetVarValue("T", "", 1);
  calc.SetVarValue("S", Gbk("中文").c_str(), 1);
  calc.SetVarValue("L", "a\xD6", 1);
}

// Analyses and runs the sentence; a true result leaves no run-time text.
void ExpectSentence(TRuleCalc& calc, const SSentenceCase& c) {
  calc.ClearMemory();
  SetVariables(calc);
  calc.SetSentence(Gbk(c.Sentence).c_str());
  ASSERT_TRUE(calc.Analyse()) << Utf8(calc.GetAnalyseError());
  EXPECT_EQ(calc.Run(), c.Holds) << Utf8(calc.GetRuntimeError());
  if (c.Holds) {
    EXPECT_STREQ(calc.GetRuntimeError(), "");
  }
}

class YearMonthDaySentences : public ::testing::TestWithParam<SSentenceCase> {};

TEST_P(YearMonthDaySentences, Run) {
  auto calc = MakeCalc(EnvironmentWith(testing::YearMonthDaySettings()));
  ExpectSentence(*calc, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Dates, YearMonthDaySentences,
    ::testing::Values(
        SSentenceCase{"TODATE(\"2024-2-29\")=45351;", true},
        SSentenceCase{"YEAR(TODATE(\"2024-2-29\"))=2024;", true},
        SSentenceCase{"MONTH(TODATE(\"2024-2-29\"))=2 AND DAY(TODATE(\"2024-2-29\"))=29;", true},
        SSentenceCase{"TODATE(\"2023-2-29\")=0;", true},
        SSentenceCase{"TODATE(\"2024-02-29 \")=TODATE(\"2024-2-29\");", true},
        SSentenceCase{"TODATE(\"2024-2-29 12:00\")=0;", true},
        SSentenceCase{"TODATE(\"2/29/2024\")=0;", true},
        SSentenceCase{"TODATE(\"\")=0;", true},
        SSentenceCase{"YEAR(TODATE(\"\"))=1899;", true},
        SSentenceCase{"TODATE(\"3-5\")=TODATE(\"2026-3-5\");", true},
        SSentenceCase{"TODATE(\"76-1-1\")=TODATE(\"1976-1-1\") AND TODATE(\"75-1-1\")=TODATE(\"2075-1-1\");", true},
        SSentenceCase{"ADDMONTHS(TODATE(\"2023-1-31\"),1)=TODATE(\"2023-2-28\");", true},
        SSentenceCase{"ADDYEARS(TODATE(\"2024-2-29\"),1)=TODATE(\"2025-2-28\");", true},
        SSentenceCase{"ADDMONTHS(TODATE(\"2024-3-15\"),-13)=TODATE(\"2023-2-15\");", true},
        SSentenceCase{"ADDMONTHS(TODATE(\"2023-1-31\")+0.25,1)=TODATE(\"2023-2-28\")+0.25;", true},
        SSentenceCase{"ADDYEARS(TODATE(\"2024-2-29\")+0.25,1)=TODATE(\"2025-2-28\")+0.25;", true},
        SSentenceCase{"ADDMONTHS(TODATE(\"2024-3-15\")+0.25,-13)=TODATE(\"2023-2-15\")+0.25;", true},
        SSentenceCase{"ADDDAYS(TODATE(\"2024-2-28\"),1)=TODATE(\"2024-2-29\");", true},
        SSentenceCase{"ADDDAYS(D,-1)=D-1;", true},
        SSentenceCase{"LASTDAY(TODATE(\"2000-2-10\"))=29 AND LASTDAY(TODATE(\"1900-2-10\"))=28;", true},
        SSentenceCase{"LASTDAY(TODATE(\"2024-2-1\"))=29 AND LASTDAY(TODATE(\"2023-2-1\"))=28;", true},
        SSentenceCase{"TOCHAR(D,\"yyyy-mm-dd hh:nn\")=\"2024-03-05 14:07\";", true},
        SSentenceCase{"TOCHAR(D,\"hh:mm\")=\"14:07\";", true},
        SSentenceCase{"TOCHAR(D,\"m/d/yy\")=\"3-5-24\";", true},
        SSentenceCase{"TOCHAR(D,\"h:nn am/pm\")=\"2:07 pm\";", true},
        SSentenceCase{"TOCHAR(D,\"\")=\"2024-03-05 14:07:00\";", true},
        SSentenceCase{"TOCHAR(D,\"yyyy年m月d日 dddd\")=\"2024年3月5日 Tuesday\";", true},
        SSentenceCase{"TOCHAR(10000000,\"yyyy\")=\"\";", true},
        SSentenceCase{"TOCHAR(TODATE(\"100-1-1\"),\"yyyy/mm/dd\")=\"0100-01-01\";", true},
        SSentenceCase{"TOCHAR(TODATE(\"9999-12-31\"),\"yyyy/mm/dd\")=\"9999-12-31\";", true},
        SSentenceCase{"TOCHAR(ADDDAYS(TODATE(\"100-1-1\"),-1),\"yyyy\")=\"\";", true},
        SSentenceCase{"YEAR(ADDDAYS(TODATE(\"9999-12-31\"),1))=0;", true},
        SSentenceCase{"ADDYEARS(TODATE(\"9999-1-1\"),1)=0;", true},
        SSentenceCase{"ADDMONTHS(TODATE(\"2024-1-1\"),99999999999)=0;", true},
        SSentenceCase{"TOCHAR(-1.5,\"yyyy-mm-dd hh:nn\")=\"1899-12-29 12:00\";", true},
        SSentenceCase{"YEAR(NULL)=1899 AND YEAR(N)=1899;", true},
        SSentenceCase{"YEAR(0-657435)=0 AND MONTH(10000000)=0 AND DAY(10000000)=0 AND LASTDAY(10000000)=0;", true}));

class MonthDayYearSentences : public ::testing::TestWithParam<SSentenceCase> {};

TEST_P(MonthDayYearSentences, Run) {
  auto calc = MakeCalc(EnvironmentWith(testing::MonthDayYearSettings()));
  ExpectSentence(*calc, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Dates, MonthDayYearSentences,
    ::testing::Values(SSentenceCase{"TODATE(\"2/29/2024\")=45351;", true},
                      SSentenceCase{"YEAR(TODATE(\"2/29/2024\"))=2024;", true},
                      SSentenceCase{"TODATE(\"2/29/2023\")=0;", true},
                      SSentenceCase{"TODATE(\"02/29/2024 \")=45351;", true},
                      SSentenceCase{"TODATE(\"2/29/2024 12:00\")=0;", true},
                      SSentenceCase{"TODATE(\"2024-2-29\")=0;", true},
                      SSentenceCase{"TODATE(\"2/29/24\")=45351;", true},
                      SSentenceCase{"TODATE(\"3/5\")=TODATE(\"3/5/2026\");", true},
                      SSentenceCase{"TODATE(\"2/29\")=0;", true},
                      SSentenceCase{"ADDMONTHS(TODATE(\"1/31/2023\"),1)=TODATE(\"2/28/2023\");", true},
                      SSentenceCase{"TOCHAR(D,\"m/d/yy\")=\"3/5/24\";", true},
                      SSentenceCase{"TOCHAR(D,\"yyyy-mm-dd hh:nn\")=\"2024-03-05 14:07\";", true},
                      SSentenceCase{"TOCHAR(D,\"c\")=\"03/05/24 14:07:00\";", true},
                      SSentenceCase{"TOCHAR(D,\"dddddd\")=\"Tue Mar 5\";", true}));

// Text and number built-ins do not depend on the settings.
INSTANTIATE_TEST_SUITE_P(
    TextsAndNumbers, MonthDayYearSentences,
    ::testing::Values(
        SSentenceCase{"LENGTH(\"中文\")=4 AND LENGTH(S)=4;", true}, SSentenceCase{"LENGTH(\"\")=0;", true},
        SSentenceCase{"SUBSTR(\"abcdef\",2,3)=\"cde\";", true}, SSentenceCase{"SUBSTR(\"abcdef\",4,100)=\"ef\";", true},
        SSentenceCase{"SUBSTR(\"abcdef\",6,1)=\"\";", true}, SSentenceCase{"SUBSTR(\"abcdef\",-1,2)=\"\";", true},
        SSentenceCase{"SUBSTR(\"abcdef\",7,1)=\"\";", true},
        SSentenceCase{"SUBSTR(\"abcdef\",99999999999,1)=\"\";", true},
        SSentenceCase{"SUBSTR(\"abcdef\",0,-1)=\"abcdef\";", true},
        SSentenceCase{"SUBSTR(\"abcdef\",1.9,2.9)=\"bc\";", true},
        SSentenceCase{"SUBSTR(S,1,2)=SUBSTR(\"中文\",1,2);", true},
        SSentenceCase{"FINDSTR(\"abcabc\",\"bc\")=1;", true}, SSentenceCase{"FINDSTR(\"abc\",\"x\")=-1;", true},
        SSentenceCase{"FINDSTR(\"abc\",\"\")=0;", true}, SSentenceCase{"FINDSTR(\"\",\"\")=-1;", true},
        // A match starts on a character: the bytes of 路 are the end of 下 and the start of 发.
        SSentenceCase{"FINDSTR(\"地下发廊\",\"路\")=-1;", true},
        SSentenceCase{"FINDSTR(\"我进行了复核\",\"医\")=-1;", true},
        SSentenceCase{"FINDSTR(\"下发路\",\"路\")=4;", true}, SSentenceCase{"FINDSTR(\"a中文\",\"文\")=3;", true},
        SSentenceCase{"NVL(N,5)=5;", true}, SSentenceCase{"NVL(X,5)=5;", true}, SSentenceCase{"NVL(0,5)=0;", true},
        SSentenceCase{"NVL(NULL,5)=5;", true}, SSentenceCase{"NVL(T,\"x\")=\"x\";", true},
        SSentenceCase{"NVL(\"a\",\"x\")=\"a\";", true}, SSentenceCase{"LG(1000)=3;", true},
        SSentenceCase{"LG(1)=0;", true}, SSentenceCase{"LG(NULL)=-7;", true},
        // LG of 0 is minus infinity and of a negative number NaN, which
        // equals nothing; the run goes on.
        SSentenceCase{"LG(0)<-1000000000 AND 1=1;", true}, SSentenceCase{"LG(0-1)=LG(0-1);", false},
        SSentenceCase{"LG(0-1)<>0 AND 2>1;", true}, SSentenceCase{"LG(0-1)<0 OR LG(0-1)>=0;", false}));

class ExtendedSentences : public ::testing::TestWithParam<SSentenceCase> {};

TEST_P(ExtendedSentences, Run) {
  auto calc = MakeCalc(EnvironmentWith(testing::MonthDayYearSettings()));
  calc->SetLanguage(ELanguage::Extended);
  ExpectSentence(*calc, GetParam());
}

// The extended language's functions; 丄 is the bytes 81 41 ("A" as its
// second byte) and 乤 the bytes 81 61 ("a").
INSTANTIATE_TEST_SUITE_P(
    Functions, ExtendedSentences,
    ::testing::Values(
        SSentenceCase{"TRIM(\" \t ab c \r\n\")=\"ab c\" AND trim(\"\")=\"\" AND TRIM(\"  \")=\"\";", true},
        SSentenceCase{"TRIM(\"　中 文　 \")=\"中 文\";", true}, SSentenceCase{"TRIM(S)=S;", true},
        SSentenceCase{"UPPER(\"ab中Z乤a\")=\"AB中Z乤A\";", true}, SSentenceCase{"LOWER(\"AB丄A\")=\"ab丄a\";", true},
        SSentenceCase{"REPLACE(\"abcabc\",\"bc\",\"X\")=\"aXaX\" AND REPLACE(\"aaa\",\"aa\",\"b\")=\"ba\";", true},
        SSentenceCase{"REPLACE(\"abc\",\"\",\"X\")=\"abc\" AND REPLACE(\"\",\"a\",\"X\")=\"\";", true},
        SSentenceCase{"REPLACE(\"地下发廊路\",\"路\",\"街\")=\"地下发廊街\";", true},
        SSentenceCase{"REPLACE(S,\"文\",T)=\"中\";", true},
        // The left side of a comparison survives REPLACE on its right, nested too.
        SSentenceCase{"S=REPLACE(\"中x\",\"x\",\"文\");", true},
        SSentenceCase{"\"azyc\"=REPLACE(REPLACE(\"abc\",\"b\",\"xy\"),\"x\",REPLACE(\"q\",\"q\",\"z\"));", true},
        SSentenceCase{"TONUMBER(\" 12.5 \")=12.5 AND TONUMBER(\"-1e2\")=-100;", true},
        SSentenceCase{"NVL(TONUMBER(\"1,5\"),7)=7 AND NVL(TONUMBER(T),7)=7 AND TONUMBER(\"x\")=NULL;", true},
        SSentenceCase{"ROUND(2.675,2)=2.68 AND ROUND(1.005,2)=1.01 AND ROUND(2.5,0)=3 AND ROUND(-2.5,0)=-3;", true},
        SSentenceCase{"ROUND(2.71828,2.9)=2.72 AND ROUND(0.125,2)=0.13 AND ROUND(123.456,10)=123.456;", true},
        SSentenceCase{"ROUND(1250,-2)=1300 AND ROUND(-1249,-2)=-1200 AND ROUND(49,-2)=0 AND ROUND(9.99,1)=10;", true},
        SSentenceCase{"NVL(ROUND(N,2),7)=7 AND ROUND(2,N)=2;", true},
        SSentenceCase{"ABS(-3)=3 AND ABS(2.5)=2.5 AND NVL(ABS(N),7)=7;", true},
        SSentenceCase{"MOD(7,3)=1 AND MOD(-7,3)=2 AND MOD(7,-3)=-2 AND MOD(-7,-3)=-1 AND MOD(5.5,2)=1.5;", true},
        SSentenceCase{"MOD(7,0)=0 AND MOD(N,3)=0 AND MOD(7,N)=0;", true},
        SSentenceCase{"LENGTHC(\"中文ab\")=4 AND LENGTHC(T)=0 AND LENGTHC(L)=2;", true},
        SSentenceCase{"SUBSTRC(\"中文abc\",1,2)=\"文a\" AND SUBSTRC(\"中文ab\",1,-1)=\"文ab\";", true},
        SSentenceCase{"SUBSTRC(S,2,1)=\"\" AND SUBSTRC(S,-1,1)=\"\" AND SUBSTRC(S,0,100)=S;", true},
        SSentenceCase{"FINDSTRC(\"a中文\",\"文\")=2 AND FINDSTRC(\"地下发廊\",\"路\")=-1;", true},
        SSentenceCase{"FINDSTRC(\"abc\",\"\")=0 AND FINDSTRC(T,T)=-1 AND FINDSTRC(\"下发路\",\"路\")=2;", true}));

struct SNoteCase {
  const char* Sentence;
  std::int32_t Position;  // -1: the run notes nothing
  ENoteKind Kind;
  const char* Argument;
  const char* Text;
};

void PrintTo(const SNoteCase& c, std::ostream* out) { *out << c.Sentence; }

class FallbackNotes : public ::testing::TestWithParam<SNoteCase> {};

std::vector<std::string> NoteTexts(const TRuleCalc& calc) {
  std::vector<std::string> texts;
  for (const SRunNote& note : calc.Machine.Notes) texts.push_back(note.Text);
  return texts;
}

// A run taking notes lists each fallback once, where its call sits, and gives
// the verdict and the text a run without notes gives; the same notes come
// with every record run as its own step.
void ExpectNotes(ELanguage language, const SNoteCase& c) {
  auto calc = MakeCalc(EnvironmentWith(testing::MonthDayYearSettings()));
  calc->SetLanguage(language);
  SetVariables(*calc);
  calc->SetVarValue("A", "2024-01-05", 1);
  calc->SetSentence(c.Sentence);
  ASSERT_TRUE(calc->Analyse()) << Utf8(calc->GetAnalyseError());
  const bool plain = calc->Run();
  const std::string plainText = calc->GetRuntimeError();
  calc->Machine.TakeNotes = true;
  EXPECT_EQ(calc->RunAfresh() == ERunStatus::Held, plain);
  EXPECT_EQ(calc->GetRuntimeError(), plainText);
  const std::vector<std::string> fused = NoteTexts(*calc);
  calc->Machine.UseSuperinstructions = false;
  calc->RunAfresh();
  EXPECT_EQ(NoteTexts(*calc), fused);
  const std::vector<SRunNote>& notes = calc->Machine.Notes;
  if (c.Position < 0) {
    EXPECT_TRUE(notes.empty()) << notes.front().Text;
    return;
  }
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].Position, c.Position);
  EXPECT_EQ(notes[0].Kind, c.Kind);
  EXPECT_EQ(notes[0].Argument, c.Argument);
  EXPECT_EQ(notes[0].Text, c.Text);
}

TEST_P(FallbackNotes, SayWhereABuiltinFellBack) { ExpectNotes(ELanguage::Classic, GetParam()); }

class ExtendedFallbackNotes : public ::testing::TestWithParam<SNoteCase> {};

TEST_P(ExtendedFallbackNotes, SayWhereAFunctionFellBack) { ExpectNotes(ELanguage::Extended, GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Builtins, FallbackNotes,
    ::testing::Values(
        SNoteCase{"YEAR(TODATE(A))=2024;", 5, ENoteKind::UnreadableDate, "A",
                  "TODATE could not read A '2024-01-05': expected m/d/y with '/'"},
        SNoteCase{"TOCHAR(10000000,\"yyyy\")=\"\";", 0, ENoteKind::DateOutOfRange, "10000000",
                  "TOCHAR could not format 10000000: no date from year 100 to 9999; the text is empty"},
        SNoteCase{"1=1 AND DAY( 0-700000 )=0;", 8, ENoteKind::InvalidDate, "0-700000",
                  "DAY could not read the date 0-700000 '-700000': no date from year 100 to 9999; the result is 0"},
        SNoteCase{"7 / (2-2) = 0;", 2, ENoteKind::DivisionByZero, "(2-2)",
                  "/ could not divide by (2-2) '0': the divisor is 0; the result is 0"},
        SNoteCase{"10/N=0;", 2, ENoteKind::DivisionByZero, "N",
                  "/ could not divide by N 'NULL': the divisor is 0; the result is 0"},
        SNoteCase{"10/0=0;", 2, ENoteKind::DivisionByZero, "0", "/ could not divide by 0: the divisor is 0; the result is 0"},
        SNoteCase{"1=1 AND N<X;", 10, ENoteKind::NotANumber, "X",
                  "X could not be read as a number 'abc': expected a number with '.' before its fraction; read as "
                  "the null number"},
        SNoteCase{"LG(0-1)<>0;", 0, ENoteKind::LogOfNonPositive, "0-1",
                  "LG could not take the logarithm of 0-1 '-1': not above 0, so there is no logarithm"},
        SNoteCase{"SUBSTR(\"abc\",5,1)=\"\";", 0, ENoteKind::StartOutsideText, "5",
                  "SUBSTR could not start at 5: outside the 3 bytes of the text; the result is empty"},
        SNoteCase{"X+1>0;", 0, ENoteKind::NotANumber, "X",
                  "X could not be read as a number 'abc': expected a number with '.' before its fraction; read as "
                  "the null number"},
        // No fallback: an empty text or number is a missing value, not an unreadable one.
        SNoteCase{"TODATE(T)=0 AND N+1>0;", -1, ENoteKind::NotANumber, "", ""},
        SNoteCase{"SUBSTR(\"abc\",2,1)=\"c\" AND LG(NULL)=-7 AND 10/2=5 AND YEAR(NULL)=1899;", -1,
                  ENoteKind::NotANumber, "", ""},
        SNoteCase{"IF 1>2 THEN TODATE(\"x\")=0;", -1, ENoteKind::NotANumber, "", ""}));

INSTANTIATE_TEST_SUITE_P(
    Functions, ExtendedFallbackNotes,
    ::testing::Values(SNoteCase{"1=1 AND TONUMBER( S )=1;", 8, ENoteKind::NotANumber, "S",
                                "S could not be read as a number '\xD6\xD0\xCE\xC4': expected a number with '.' "
                                "before its fraction; read as the null number"},
                      SNoteCase{"TONUMBER(T)=NULL AND TONUMBER(\"2\")=2;", -1, ENoteKind::NotANumber, "", ""}));

// Every run of a sentence, on every thread, gives the same answer.
TEST(BuiltinSentences, GiveTheSameAnswerOnEveryRunAndThread) {
  const std::vector<SSentenceCase> cases = {
      {"TODATE(\"2024-2-29\")=45351;", true},
      {"TOCHAR(D,\"dddd d mmmm yyyy hh:nn:ss am/pm\")=\"Tuesday 5 March 2024 02:07:00 pm\";", true},
      {"ADDMONTHS(TODATE(\"2024-3-15\"),-13)=TODATE(\"2023-2-15\");", true},
      {"TODATE(\"2023-2-29\")=1;", false}};
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (std::size_t t = 0; t < failures.size(); ++t) {
    threads.emplace_back([&cases, &failures, t] {
      auto calc = MakeCalc(EnvironmentWith(testing::YearMonthDaySettings()));
      for (int round = 0; round < 200; ++round) {
        for (const SSentenceCase& c : cases) {
          calc->ClearMemory();
          SetVariables(*calc);
          calc->SetSentence(c.Sentence);
          if (!calc->Analyse() || calc->Run() != c.Holds) ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t t = 0; t < failures.size(); ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace rulecalc
