#include <gtest/gtest.h>

#include <string>

#include "analyser/CodeListing.h"

namespace rulecalc {
namespace {

struct SMessageCase {
  const char* Sentence;
  const char* Message;  // UTF-8
};

void PrintTo(const SMessageCase& c, std::ostream* out) { *out << c.Sentence; }

// A, B, C, D are number variables, S and T text variables; X is not set.
void ExpectAnalysisError(const SMessageCase& c, ELanguage language) {
  auto calc = testing::CalcWithVariables();
  calc->SetLanguage(language);
  calc->SetVarValue("K", "1", 7);  // a type code other than 0 and 1
  calc->SetSentence(testing::Gbk(c.Sentence).c_str());
  EXPECT_FALSE(calc->Analyse());
  EXPECT_EQ(testing::Utf8(calc->GetAnalyseError()), c.Message);
}

class AnalysisMessages : public ::testing::TestWithParam<SMessageCase> {};

TEST_P(AnalysisMessages, FirstErrorWins) { ExpectAnalysisError(GetParam(), ELanguage::Classic); }

INSTANTIATE_TEST_SUITE_P(
    Statements, AnalysisMessages,
    ::testing::Values(
        SMessageCase{"", "表达式语法定义错误!"}, SMessageCase{"   ", "表达式语法定义错误!"},
        SMessageCase{"A>1", "表达式语句结尾处缺少分号!"}, SMessageCase{"A>1 AND", "表达式语句结尾处缺少分号!"},
        SMessageCase{"IF;", "IF语句缺少表达式子句!"}, SMessageCase{"IF", "IF语句缺少表达式子句!"},
        SMessageCase{"IF !", "IF语句缺少表达式子句!"}, SMessageCase{"IF A>1;", "条件表达式中缺少THEN关键字!"},
        SMessageCase{"IF A>1 ELSE B>1;", "条件表达式中缺少THEN关键字!"},
        SMessageCase{"IF A>1 B>2;", "表达式后必须跟逻辑运算符!"},
        SMessageCase{"IF A>1 THEN;", "条件表达式中缺少THEN子句!"},
        SMessageCase{"IF A>1 THEN B>2", "条件表达式语句结尾处缺少分号!"},
        SMessageCase{"IF A>1 THEN B>2 THEN C>3;", "条件表达式语句缺少Else关键字!"},
        SMessageCase{"IF A>1 THEN B>2 ELSE;", "条件表达式中缺少Else子句!"},
        SMessageCase{"IF A>1 THEN B>2 ELSE C>3", "条件表达式语句结尾处缺少分号!"},
        SMessageCase{"IF A>1 THEN B>2 ELSE C>3 ELSE", "条件表达式语句结尾处缺少分号!"}));

INSTANTIATE_TEST_SUITE_P(
    Expressions, AnalysisMessages,
    ::testing::Values(
        SMessageCase{"A;", "表达式后必须跟比较运算符!"}, SMessageCase{"A+1", "表达式后必须跟比较运算符!"},
        SMessageCase{"A>", "比较运算符后缺少表达式!"}, SMessageCase{"A>>1;", "比较运算符后缺少表达式!"},
        SMessageCase{"A> AND B;", "比较运算符后缺少表达式!"}, SMessageCase{"A>;", "表达式语法定义错误!"},
        SMessageCase{"A>1 B<2;", "表达式后必须跟逻辑运算符!"},
        SMessageCase{"A>1 AND B<2 A>1;", "表达式后必须跟逻辑运算符!"},
        SMessageCase{"A>1 !", "表达式语法错误!"}, SMessageCase{"(A>1);", "表达式缺少右括号!"},
        SMessageCase{"(A;", "表达式缺少右括号!"}, SMessageCase{"X>1;", "变量X未赋值!"},
        SMessageCase{"x1>1;", "变量x1未赋值!"},
        SMessageCase{"S||A=S;", "并置运算符后必须跟字符串型变量!"},
        SMessageCase{"S||K=S;", "并置运算符后必须跟字符串型变量!"},
        SMessageCase{"S||X=S;", "变量X未赋值!"}, SMessageCase{"S+1=S;", "表达式后必须跟比较运算符!"},
        SMessageCase{"A||B=S;", "表达式后必须跟比较运算符!"}, SMessageCase{"S*2=S;", "表达式后必须跟比较运算符!"},
        SMessageCase{"A>1 AND ;", "表达式语法定义错误!"}, SMessageCase{"A>)", "表达式语法定义错误!"}));

INSTANTIATE_TEST_SUITE_P(
    BuiltinCalls, AnalysisMessages,
    ::testing::Values(
        SMessageCase{"TODATE S>1;", "ToDate函数缺少左括号!"}, SMessageCase{"TODATE()>1;", "ToDate函数缺少参数!"},
        SMessageCase{"TODATE(1)>1;", "ToDate函数参数必须为字符串类型!"},
        SMessageCase{"TODATE(A)>1;", "ToDate函数参数必须为字符串类型!"},
        SMessageCase{"TODATE(S,1)>1;", "ToDate函数缺少右括号!"},
        SMessageCase{"TOCHAR;", "ToChar函数缺少左括号!"}, SMessageCase{"TOCHAR(;", "表达式语法定义错误!"}, SMessageCase{"TOCHAR( )=S;", "ToChar函数缺少参数!"},
        SMessageCase{"TOCHAR(S,\"y\")=S;", "ToChar函数第一个参数必须为日期类型!"},
        SMessageCase{"TOCHAR(\"x\",\"y\")=S;", "ToChar函数第一个参数必须为日期类型!"},
        SMessageCase{"TOCHAR(A)=S;", "ToChar函数参数定义不完整!"},
        SMessageCase{"TOCHAR(A,S)=S;", "ToChar函数第二个参数必须为字符串类型!"},
        SMessageCase{"TOCHAR(A,X)=S;", "ToChar函数第二个参数必须为字符串类型!"},
        SMessageCase{"TOCHAR(A,(\"y\"))=S;", "ToChar函数第二个参数必须为字符串类型!"},
        SMessageCase{"TOCHAR(A,\"y\"=S;", "ToChar函数缺少右括号!"},
        SMessageCase{"ADDYEARS A;", "Addyears函数缺少左括号!"}, SMessageCase{"ADDYEARS()>1;", "Addyears函数缺少参数!"},
        SMessageCase{"ADDYEARS(S,1)>1;", "Addyears函数第一个参数必须为日期类型!"},
        SMessageCase{"ADDYEARS(A)>1;", "Addyears函数参数定义不完整!"},
        SMessageCase{"ADDYEARS(A,\"1\")>1;", "Addyears函数第二个参数必须为数值类型!"},
        SMessageCase{"ADDYEARS(A,1>1;", "Addyears函数缺少右括号!"},
        SMessageCase{"ADDMONTHS;", "Addmonths函数缺少左括号!"}, SMessageCase{"ADDMONTHS()>1;", "Addmonths函数缺少参数!"},
        SMessageCase{"ADDMONTHS(K,1)>1;", "Addmonths函数第一个参数必须为日期类型!"},
        SMessageCase{"ADDMONTHS(A;", "Addmonths函数参数定义不完整!"},
        SMessageCase{"ADDMONTHS(A,S)>1;", "Addmonths函数第二个参数必须为数值类型!"},
        SMessageCase{"ADDMONTHS(A,1,2)>1;", "Addmonths函数缺少右括号!"},
        SMessageCase{"ADDDAYS 1;", "Adddays函数缺少左括号!"}, SMessageCase{"ADDDAYS();", "Adddays函数缺少参数!"},
        SMessageCase{"ADDDAYS(\"x\",1)>1;", "Adddays函数第一个参数必须为日期类型!"},
        SMessageCase{"ADDDAYS(A 1)>1;", "Adddays函数参数定义不完整!"},
        SMessageCase{"ADDDAYS(A,T)>1;", "Adddays函数第二个参数必须为数值类型!"},
        SMessageCase{"ADDDAYS(A,1;", "Adddays函数缺少右括号!"},
        SMessageCase{"YEAR;", "Year函数缺少左括号!"}, SMessageCase{"YEAR()>1;", "Year函数缺少参数!"},
        SMessageCase{"YEAR(\"2024-1-1\")>1;", "Year函数参数必须为日期类型!"},
        SMessageCase{"YEAR(X)>1;", "变量X未赋值!"}, SMessageCase{"YEAR(A,1)>1;", "Year函数缺少右括号!"},
        SMessageCase{"MONTH[;", "Month函数缺少左括号!"}, SMessageCase{"MONTH()>1;", "Month函数缺少参数!"},
        SMessageCase{"MONTH(S)>1;", "Month函数参数必须为日期类型!"}, SMessageCase{"MONTH(A;", "Month函数缺少右括号!"},
        SMessageCase{"DAY A;", "Day函数缺少左括号!"}, SMessageCase{"DAY()>1;", "Day函数缺少参数!"},
        SMessageCase{"DAY(T)>1;", "Day函数参数必须为日期类型!"}, SMessageCase{"DAY(A;", "Day函数缺少右括号!"},
        SMessageCase{"LASTDAY;", "Lastday函数缺少左括号!"}, SMessageCase{"LASTDAY()>1;", "Lastday函数缺少参数!"},
        SMessageCase{"LASTDAY(\"\")>1;", "Lastday函数参数必须为日期类型!"},
        SMessageCase{"LASTDAY(A;", "Lastday函数缺少右括号!"},
        SMessageCase{"LENGTH S;", "字符串LENGTH函数后缺少左括号!"},
        SMessageCase{"LENGTH()>1;", "字符串LENGTH函数缺少参数!"},
        SMessageCase{"LENGTH(A)>1;", "字符串LENGTH函数参数必须为字符串类型!"},
        SMessageCase{"LENGTH(12)>1;", "字符串LENGTH函数参数必须为字符串类型!"},
        SMessageCase{"LENGTH(S;", "字符串LENGTH函数缺少右括号!"},
        SMessageCase{"SUBSTR;", "字符串SUBSTR函数后缺少左括号!"}, SMessageCase{"SUBSTR();", "字符串SUBSTR函数缺少参数!"},
        SMessageCase{"SUBSTR(A,1,2)=S;", "字符串SUBSTR函数被截取参数必须为字符串类型!"},
        SMessageCase{"SUBSTR(S,1)=S;", "字符串SUBSTR函数参数定义不完整!"},
        SMessageCase{"SUBSTR(S)=S;", "字符串SUBSTR函数参数定义不完整!"},
        SMessageCase{"SUBSTR(S,1,2,3)=S;", "字符串SUBSTR函数缺少右括号!"},
        SMessageCase{"FINDSTR;", "字符串FINDSTR函数后缺少左括号!"},
        SMessageCase{"FINDSTR()>1;", "字符串FINDSTR函数缺少参数!"},
        SMessageCase{"FINDSTR(A,S)>1;", "字符串FINDSTR函数被搜索参数必须为字符串类型!"},
        SMessageCase{"FINDSTR(S)>1;", "字符串FINDSTR函数参数定义不完整!"},
        SMessageCase{"FINDSTR(S,1)>1;", "字符串FINDSTR函数子串参数必须为字符串类型!"},
        SMessageCase{"FINDSTR(S,T;", "字符串FINDSTR函数缺少右括号!"},
        SMessageCase{"LG;", "lg函数缺少左括号!"}, SMessageCase{"LG()>1;", "lg函数缺少参数!"},
        SMessageCase{"LG(S)>1;", "lg函数参数必须为数值类型!"}, SMessageCase{"LG(1;", "lg函数缺少右括号!"},
        SMessageCase{"lg(", "表达式语法定义错误!"},
        SMessageCase{"NVL;", "空值替换NVL函数后缺少左括号!"}, SMessageCase{"NVL()>1;", "空值替换NVL函数缺少参数!"},
        SMessageCase{"NVL(X,1)>1;", "变量X未赋值!"}, SMessageCase{"NVL(A)>1;", "空值替换NVL函数参数定义不完整!"},
        SMessageCase{"NVL(A,\"x\")>1;", "空值替换NVL函数第二个参数必须为数值类型!"},
        SMessageCase{"NVL(1,S)>1;", "空值替换NVL函数第二个参数必须为数值类型!"},
        SMessageCase{"NVL((S),\"x\")=S;", "空值替换NVL函数第二个参数必须为数值类型!"},
        SMessageCase{"NVL(K,S)>1;", "空值替换NVL函数第二个参数必须为数值类型!"},
        SMessageCase{"NVL(S,A)=S;", "空值替换NVL函数第二个参数必须为字符串类型!"},
        SMessageCase{"NVL(\"\",1)=S;", "空值替换NVL函数第二个参数必须为字符串类型!"},
        SMessageCase{"NVL(S,T=S;", "空值替换NVL函数缺少右括号!"},
        SMessageCase{"ADDDAYS(A,)>1;", "表达式语法定义错误!"},
        // The extended language's functions are names of variables here.
        SMessageCase{"TRIM(S)=S;", "变量TRIM未赋值!"}, SMessageCase{"upper(S)=S;", "变量upper未赋值!"},
        SMessageCase{"LOWER(S)=S;", "变量LOWER未赋值!"}, SMessageCase{"REPLACE(S,S,S)=S;", "变量REPLACE未赋值!"},
        SMessageCase{"TONUMBER(S)=1;", "变量TONUMBER未赋值!"}, SMessageCase{"ROUND(A,1)=1;", "变量ROUND未赋值!"},
        SMessageCase{"ABS(A)=1;", "变量ABS未赋值!"}, SMessageCase{"MOD(A,2)=1;", "变量MOD未赋值!"},
        SMessageCase{"LENGTHC(S)=1;", "变量LENGTHC未赋值!"}, SMessageCase{"SUBSTRC(S,1,1)=S;", "变量SUBSTRC未赋值!"},
        SMessageCase{"FINDSTRC(S,T)=1;", "变量FINDSTRC未赋值!"}));

class ExtendedAnalysisMessages : public ::testing::TestWithParam<SMessageCase> {};

// The extended language: its functions write their name before the message.
TEST_P(ExtendedAnalysisMessages, FirstErrorWins) { ExpectAnalysisError(GetParam(), ELanguage::Extended); }

INSTANTIATE_TEST_SUITE_P(
    Functions, ExtendedAnalysisMessages,
    ::testing::Values(
        SMessageCase{"trim S;", "trim是扩展语言的关键字,不能用作变量名!"}, SMessageCase{"UPPER()=S;", "UPPER函数缺少参数!"},
        SMessageCase{"LOWER(A)=S;", "LOWER函数参数必须为字符串类型!"},
        SMessageCase{"LENGTHC(1)>1;", "LENGTHC函数参数必须为字符串类型!"},
        SMessageCase{"TONUMBER(X)>1;", "变量X未赋值!"}, SMessageCase{"TONUMBER(S;", "TONUMBER函数缺少右括号!"},
        SMessageCase{"ABS(S)>1;", "ABS函数参数必须为数值类型!"}, SMessageCase{"abs(1,2)>1;", "ABS函数缺少右括号!"},
        SMessageCase{"ROUND(\"1\",2)>1;", "ROUND函数第一个参数必须为数值类型!"},
        SMessageCase{"ROUND(1)>1;", "ROUND函数参数定义不完整!"},
        SMessageCase{"MOD(A,S)>1;", "MOD函数第二个参数必须为数值类型!"},
        SMessageCase{"FINDSTRC(A,S)>1;", "FINDSTRC函数第一个参数必须为字符串类型!"},
        SMessageCase{"FINDSTRC(S,1)>1;", "FINDSTRC函数第二个参数必须为字符串类型!"},
        SMessageCase{"SUBSTRC(A,1,2)=S;", "SUBSTRC函数第一个参数必须为字符串类型!"},
        SMessageCase{"SUBSTRC(S,1)=S;", "SUBSTRC函数参数定义不完整!"},
        SMessageCase{"REPLACE(A,S,T)=S;", "REPLACE函数第一个参数必须为字符串类型!"},
        SMessageCase{"REPLACE(S,1,T)=S;", "REPLACE函数第二个参数必须为字符串类型!"},
        SMessageCase{"REPLACE(S,T,A)=S;", "REPLACE函数第三个参数必须为字符串类型!"},
        SMessageCase{"REPLACE(S,T)=S;", "REPLACE函数参数定义不完整!"},
        SMessageCase{"Replace(S,T,S,T)=S;", "REPLACE函数缺少右括号!"}));

INSTANTIATE_TEST_SUITE_P(
    Conditions, ExtendedAnalysisMessages,
    ::testing::Values(
        SMessageCase{"NOT;", "NOT后缺少条件!"}, SMessageCase{"A>1 AND NOT OR B>1;", "NOT后缺少条件!"},
        SMessageCase{"A NOT 1;", "表达式后必须跟比较运算符!"}, SMessageCase{"A IN 1;", "IN后缺少左括号!"},
        SMessageCase{"A IN (B);", "IN列表的值必须是数值或字符串常量!"},
        SMessageCase{"A IN ();", "IN列表的值必须是数值或字符串常量!"},
        SMessageCase{"A IN (-S);", "IN列表的值必须是数值或字符串常量!"},
        SMessageCase{"A IN (1;", "IN列表缺少右括号!"}, SMessageCase{"A IN (1 2);", "IN列表缺少右括号!"},
        SMessageCase{"A IN (1, \"1\");", "IN列表的值与被比较的值类型不同!"},
        SMessageCase{"S IN (1);", "IN列表的值与被比较的值类型不同!"},
        SMessageCase{"A IS NULL;", "IS后只能是EMPTY或NOT EMPTY!"}, SMessageCase{"S IS NOT;", "IS后只能是EMPTY或NOT EMPTY!"},
        SMessageCase{"(A>1 OR B>1;", "表达式缺少右括号!"}, SMessageCase{"(A>1) B>1;", "表达式后必须跟逻辑运算符!"},
        SMessageCase{"A+(B>1)>1;", "表达式缺少右括号!"}, SMessageCase{"IF (A>1 THEN B>1;", "表达式缺少右括号!"},
        SMessageCase{"IN>1;", "IN是扩展语言的关键字,不能用作变量名!"},
        SMessageCase{"not-1>A;", "not是扩展语言的关键字,不能用作变量名!"},
        SMessageCase{"A>1 OR NOT*2>A;", "NOT是扩展语言的关键字,不能用作变量名!"},
        SMessageCase{"A>1 AND empty=1;", "empty是扩展语言的关键字,不能用作变量名!"},
        SMessageCase{"LENGTH(Is)>1;", "Is是扩展语言的关键字,不能用作变量名!"}));

TEST(AnalysisMessagesState, UnassignedNameIsWrittenAsInTheSentence) {
  auto calc = testing::CalcWithVariables();
  calc->SetSentence("abc_Q>1;");
  EXPECT_FALSE(calc->Analyse());
  EXPECT_EQ(testing::Utf8(calc->GetAnalyseError()), "变量abc_Q未赋值!");
}

TEST(AnalysisMessagesState, TheErrorStaysAfterALaterSuccess) {
  auto calc = testing::CalcWithVariables();
  calc->SetSentence("A>;");
  EXPECT_FALSE(calc->Analyse());
  calc->SetSentence("A>1;");
  EXPECT_TRUE(calc->Analyse());
  EXPECT_EQ(testing::Utf8(calc->GetAnalyseError()), "表达式语法定义错误!");
}

TEST(AnalysisMessagesState, TheTokeniserStopsAtTheFailingToken) {
  auto calc = testing::CalcWithVariables();
  calc->SetSentence("A>1 AND X<2;");
  EXPECT_FALSE(calc->Analyse());
  EXPECT_EQ(calc->Tokeniser.Word, "X");
  EXPECT_EQ(calc->Tokeniser.Position, 9);
}

}  // namespace
}  // namespace rulecalc
