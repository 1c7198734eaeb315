#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BatchTestSupport.h"
#include "batch/Failures.h"
#include "batch/ColumnInference.h"
#include "batch/Columns.h"
#include "batch/RulesFile.h"

namespace rulecalc::batch {
namespace {

using testing::Gbk;
using testing::TMemoryFile;
using testing::TTemporaryFile;

std::vector<SRule> RulesOf(const std::string& content) {
  TTextCodec codec("UTF-8");
  return ParseRules(content, "r.rules", codec).Rules;
}

// The message of the usage error that reading content gives.
std::string RulesErrorOf(const std::string& content) {
  try {
    RulesOf(content);
  } catch (const TUsageError& error) {
    return error.what();
  }
  return "no error";
}

TEST(RulesFile, ReadsIdsAndSentencesSkippingCommentsAndBlankLines) {
  const std::vector<SRule> rules =
      RulesOf("\xEF\xBB\xBF# checks\n\n  adult : AGE >= 18;\r\n  # indented comment\nname:LENGTH(NAME) = 4;\n"
              "time: T = \"12:30\";\n");
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(rules[0].Id, "adult");
  EXPECT_EQ(rules[0].GbkSentence, "AGE >= 18;");
  EXPECT_EQ(rules[0].Line, 3u);
  EXPECT_EQ(rules[1].Id, "name");
  EXPECT_EQ(rules[1].Line, 5u);
  EXPECT_EQ(rules[2].GbkSentence, "T = \"12:30\";");
}

TEST(RulesFile, RulesSpanLinesToTheirSemicolonWithCommentsAndDescriptions) {
  const std::vector<SRule> rules =
      RulesOf("adult \"年满十八\": IF AGE >= 18  # grown up\n   THEN OK = 1; # done\nhash: T = \"#;\"; b: B>1;");
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(rules[0].GbkSentence, "IF AGE >= 18  \n   THEN OK = 1;");
  EXPECT_EQ(rules[0].GbkDescription, Gbk("年满十八"));
  EXPECT_EQ(rules[1].GbkSentence, "T = \"#;\";");
  EXPECT_EQ(rules[2].Id, "b");
  TTextCodec codec("UTF-8");
  const SRulesFile file =
      ParseRules("@date-order ymd\n@date-separator -\n@max-failed my rule 0.5%  # of its rows\na: A>1;\nmy rule: A>2;\n"
                 "@column 理赔 金额  CLAIM # mapped\n@header-row 3\n@skip-rows 0\n",
                 "r", codec);
  EXPECT_FALSE(file.Language.has_value());
  EXPECT_EQ(ParseRules("@language extended\na: A>1;", "r", codec).Language, ELanguage::Extended);
  EXPECT_EQ(file.DateOrder + file.DateSeparator, "ymd-");
  EXPECT_EQ(file.HeaderRow.value_or(0) * 10 + file.SkipRows.value_or(9), 30u);
  ASSERT_EQ(file.Columns.size(), 1u);
  EXPECT_EQ(file.Columns[0].GbkDataName + "|" + file.Columns[0].GbkVariable, Gbk("理赔 金额|CLAIM"));
  ASSERT_EQ(file.Tolerances.size(), 1u);
  EXPECT_EQ(file.Tolerances[0].Rule, 1u);
  EXPECT_EQ(file.Tolerances[0].GbkSetting, "@max-failed my rule 0.5%");
  EXPECT_EQ(file.Tolerances[0].Limit.Value, 5000u);
}

TEST(RulesFile, ErrorsNameFileLineAndColumn) {
  const struct {
    const char* Content;
    const char* Message;
  } cases[] = {
      {"a: A > 1\nb: B > 1;\n", "r.rules:2:2: ':' inside the sentence of rule 'a' (r.rules:1:1): is the ';'"},
      {"a: A > 1;\nb: B > 1\n", "r.rules:3:1: the rule 'b' (r.rules:2:1) has no ';' at its end"},
      {"ok: A>1;\n  中文 sentence\n", "r.rules:2:3: expected 'id: sentence;'"},
      {"@date-order yyyy\na: A>1;", "r.rules:1:1: expected '@date-order ymd|mdy|dmy'"},
      {"a\x1B[2J: A>1;\na\x1B[2J: A>2;", "r.rules:2: the rule id 'a\\x1B[2J' is used twice"},
      {"a: A>1;\n@max-failed b 1%\n", "r.rules:2:1: @max-failed names no rule of the file: 'b'"},
      {"@max-failed a 1\n@max-failed a 2%\na: A>1;", "r.rules:2:1: a second @max-failed for the rule 'a'"},
      {"@max-failed a 1.5\na: A>1;", "r.rules:1:1: @max-failed a: '1.5' is neither a number of rows nor a percentage"},
      {"@max-failed 5%\na: A>1;", "r.rules:1:1: expected '@max-failed RULE N' or '@max-failed RULE P%'"},
      {"@column 金额 1X\na: A>1;", "r.rules:1:1: @column 金额: no rule can name 1X: a name starts with an ASCII letter"},
      {"@column A B\n@column a C\na: A>1;", "r.rules:2:1: a second @column for the column 'a'"},
      {"@header-row 0\na: A>1;", "r.rules:1:1: @header-row: '0' is not a count of rows from 1"},
      {"@skip-rows -1\na: A>1;", "r.rules:1:1: @skip-rows: '-1' is not a count of rows"},
      {"@language modern\na: A>1;", "r.rules:1:1: expected '@language classic|extended', not '@language modern'"},
      {"@language classic\n@language extended\na: A>1;", "r.rules:2:1: a second @language"},
      {"a: A>1;\n@language extended\n", "r.rules:2:1: @language goes before the first rule"},
  };
  for (const auto& c : cases) EXPECT_NE(RulesErrorOf(c.Content).find(c.Message), std::string::npos) << RulesErrorOf(c.Content);
}

TEST(RulesFile, ConvertsSentencesToGbk) {
  EXPECT_EQ(RulesOf("城市: CITY = \"北京\";\n")[0].GbkSentence, Gbk("CITY = \"北京\";"));
}

TEST(RulesFile, RefusesMalformedFiles) {
  for (const char* content : {"no colon here\n", ": A>1;\n", "empty:\n", "a: A>1;\na: B>1;\n", "# only comments\n", ""}) {
    EXPECT_THROW(RulesOf(content), TUsageError) << content;
  }
  EXPECT_THROW(RulesOf("bad: A = \"\xFF\";\n"), TConversionError);
}

std::vector<SColumn> ColumnsOf(const std::string& csv, std::string* notice = nullptr,
                               const TNullTexts& nulls = TNullTexts()) {
  TMemoryFile file(csv);
  TCsvReader reader(file.File());
  SCsvRecord header;
  reader.Next(header);
  TTextCodec codec("UTF-8");
  TTextCodec output("UTF-8");
  std::vector<SColumn> columns = ColumnsOfHeader(header, "d.csv", codec, output);
  const auto evidence = InferColumnTypes(reader, columns, codec, nulls, '.', [] {});
  if (notice) {
    notice->clear();
    for (const std::string& paragraph : MixedColumnsNotices(columns, evidence, "d.csv", output)) *notice += paragraph;
  }
  return columns;
}

TEST(Columns, HeaderNamesTypesAndByteOrderMark) {
  const std::vector<SColumn> columns =
      ColumnsOf("\xEF\xBB\xBF" "AGE, CODE:text ,N:num,D:Date(dd.mm.yyyy),年龄,MONTHLY INCOME,IF,理赔 金额 = CLAIM:num\n");
  ASSERT_EQ(columns.size(), 8u);
  EXPECT_EQ(columns[7].DataName + "|" + columns[7].Name + "|" + columns[7].Unusable, "理赔 金额|CLAIM|");
  EXPECT_EQ(columns[7].Type, vtNumber);
  EXPECT_EQ(columns[0].DataName, "AGE");
  EXPECT_EQ(columns[3].Date->Order + columns[3].Date->Separator, "dmy.");
  const std::vector<SColumn> written = ColumnsOf("\"A=AMOUNT:num(￥#,##0.00)\",D:date(yyyy年m月d日|yyyy-mm-dd hh:nn)\n");
  EXPECT_EQ(written[0].Name + " " + written[0].Picture->GbkWritten, Gbk("AMOUNT ￥#,##0.00"));
  EXPECT_EQ(written[1].Date->Formats.size(), 2u);
  EXPECT_EQ(written[1].Date->Order, "ymd");
  EXPECT_EQ(columns[0].Unusable + columns[3].Unusable, "");
  EXPECT_EQ(columns[4].Unusable, "a name starts with an ASCII letter");
  EXPECT_EQ(columns[5].Unusable, "a name cannot hold a blank");
  EXPECT_EQ(columns[6].Unusable, "it is a word of the rule language");
  EXPECT_EQ(columns[0].Name, "AGE");
  EXPECT_FALSE(columns[0].Declared.has_value());
  EXPECT_EQ(columns[1].Name, "CODE");
  EXPECT_EQ(columns[1].Type, vtText);
  EXPECT_EQ(columns[2].Type, vtNumber);
}

// The message of the usage or conversion error that reading the header gives.
std::string HeaderErrorOf(const std::string& csv) {
  try {
    ColumnsOf(csv);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

// Every mistake names the file, the line and the column, control characters
// (a NUL too) shown as \xNN.
TEST(Columns, RefusesRepeatedEmptyAndBadlyTypedNames) {
  const struct {
    std::string Csv;
    const char* Message;
  } cases[] = {
      {"AGE,age\n", "d.csv:1: the header names the column 'age' twice"},
      {"A,,B\n", "d.csv:1: column 2 of the header: '': the variable name is missing"},
      {"A:day\n", "d.csv:1: column 1 of the header: 'A:day': the type must be ':num' or ':text'"},
      {"A:date(yyyy)\n", "d.csv:1: column 1 of the header: 'A:date(yyyy)': a date format is"},
      {"A:num:date\n", "d.csv:1: column 1 of the header: 'A:num': one type per column"},
      {"\"A:num(#,##0.0x)\"\n", "d.csv:1: column 1 of the header: 'A:num(#,##0.0x)': a number picture is digits"},
      {"A:text:num(0.00)\n", "d.csv:1: column 1 of the header: 'A:text': one type per column"},
      {"A:date(yyyy-mm-dd|hh:nn)\n", "d.csv:1: column 1 of the header: 'A:date(yyyy-mm-dd|hh:nn)': a date format is"},
      {"A:date(yyyy-mm-dd hh:mm)\n", "d.csv:1: column 1 of the header: 'A:date(yyyy-mm-dd hh:mm)': a date format names"},
      {"\"A\n", "d.csv:1: the header is malformed: a quoted field is not closed"},
      {std::string("A\0B,a\0b\n", 8), "d.csv:1: column 1 of the header: the column name 'A\\x00B' has a NUL byte at byte 2"},
      {"\n\nA,\x1B]0;x\x07:day\n", "d.csv:3: column 2 of the header: '\\x1B]0;x\\x07:day': the type must be"},
      {"金额=1B:num\n", "d.csv:1: column 1 of the header: '金额=1B': no rule can name 1B: a name starts with"},
      {"=B\n", "d.csv:1: column 1 of the header: '=B': the column name before '=' is missing"},
      {"A,金额=a\n", "d.csv:1: the columns 'A' and '金额' (a) would both be the variable a"},
  };
  for (const auto& c : cases) EXPECT_EQ(HeaderErrorOf(c.Csv).rfind(c.Message, 0), 0u) << HeaderErrorOf(c.Csv);
}

// A rules file's @column lines against the header "A,金额=AMOUNT,B:num"; the
// outcome names each column's variable and declared type.
TEST(Columns, MapsColumnsToVariablesOrSaysWhyNot) {
  const struct {
    std::string DataName, TypedVariable;
    const char* Outcome;
  } cases[] = {
      {"b", "BETA", "A AMOUNT BETA:num"},
      {"金额", "amount", "A amount B:num"},
      {"A", "ALPHA:text", "ALPHA:text AMOUNT B:num"},
      {"金额", "AMOUNT:num(#,##0.00)", "A AMOUNT:num(#,##0.00) B:num"},
      {"C", "X", "r:2: @column C X: the header has no column 'C'"},
      {"金额", "TOTAL", "r:2: @column 金额 TOTAL: the header names the column '金额' AMOUNT already"},
      {"B", "a", "r:2: the columns 'A' and 'B' (a) would both be the variable a"},
      {"B", "BETA:text", "r:2: @column B BETA: the header declares the type of the column 'B' already"},
  };
  for (const auto& c : cases) {
    std::vector<SColumn> columns = ColumnsOf("A,金额=AMOUNT,B:num\n");
    TTextCodec output("UTF-8");
    std::string outcome;
    try {
      SColumn typing = TypedColumnOf(c.TypedVariable, output);
      SColumnMapping mapping{"r:2: ", Gbk(c.DataName), typing.GbkName, std::nullopt};
      if (typing.Declared) mapping.Typing = typing;
      MapColumns(columns, {mapping}, output);
      for (const SColumn& column : columns) {
        const std::string type = !column.Declared ? "" : column.Picture ? ":num(#,##0.00)"
                                 : *column.Declared == vtText ? ":text" : ":num";
        outcome += (outcome.empty() ? "" : " ") + column.Name + type;
      }
    } catch (const TUsageError& error) {
      outcome = error.what();
    }
    EXPECT_EQ(outcome, c.Outcome);
  }
}

TEST(ColumnInference, ATextValueAnywhereMakesTheColumnText) {
  const std::vector<SColumn> columns = ColumnsOf(
      "NUM,MIXED,EMPTY,FORCED:num,LAST\n"
      "1,2,,x,1\n"
      "2.5,abc,,y,2\n"
      "-3e2,4,,z,3\n"
      "1,2,,x,4\n"
      "1,2,,x,late text\n");
  EXPECT_EQ(columns[0].Type, vtNumber);
  EXPECT_EQ(columns[1].Type, vtText);
  EXPECT_EQ(columns[2].Type, vtNumber);
  EXPECT_EQ(columns[3].Type, vtNumber);
  EXPECT_EQ(columns[4].Type, vtText);
}

TEST(ColumnInference, SaysWhichRowsMadeAMostlyNumericColumnText) {
  std::string notice;
  std::string csv = "ID,INCOME\n";
  for (int row = 1; row <= 9; ++row) csv += "a," + std::string(row == 4 || row == 7 ? "N/A" : "100") + "\n";
  EXPECT_EQ(ColumnsOf(csv, &notice)[1].Type, vtText);
  EXPECT_EQ(notice,
            "d.csv: column INCOME is read as text because 2 of its 9 values are not numbers: "
            "row 4 \"N/A\" row 7 \"N/A\"\n  declare it as INCOME:num in the header (such values are then errors "
            "for their row only), or name the texts that mean empty with --null-values\n");
  EXPECT_EQ(ColumnsOf(csv, &notice, TNullTexts({"N/A"}))[1].Type, vtNumber);
  EXPECT_EQ(notice, "");
}

// Digit strings that are identifiers are advised as text: by their values or,
// when every number is only digits, by a name like ID, NO, PHONE, TEL, CODE.
TEST(ColumnInference, AdvisesTextForIdentifiersAndNumbersForMeasures) {
  const struct {
    std::string Header, Values;  // the values, one row each
    const char* Advice;          // the notice from its second line, or "" for none
  } cases[] = {
      {"IDNO", "110101199003071234 110101199003071235 11010119900307123X",
       "  they look like identifiers: declare it as IDNO:text in the header, which keeps their leading zeros and a "
       "trailing X\n"},
      {"CUST_NO", "1001 1002 N/A", "  they look like identifiers: declare it as CUST_NO:text"},
      {"PhoneNumber", "1001 1002 N/A", "  they look like identifiers: declare it as PhoneNumber:text"},
      {"CUST_NO", "10.5 1002 N/A", "  declare it as CUST_NO:num in the header"},
      {"NOTE", "1001 1002 N/A", "  declare it as NOTE:num in the header"},
      {"证件号=CERT", "1001 1002 N/A", "  declare it as 证件号=CERT:num in the header"},
      {"ACCOUNT", "0012 1002 N/A", "  they look like identifiers: declare it as ACCOUNT:text"},
      {"ZIP", "100 007 200 0",
       "d.csv: column ZIP is read as numbers, but 1 of its values look like identifiers: row 2 \"007\"\n"
       "  declare it as ZIP:text in the header, which keeps their leading zeros and all their digits\n"},
      {"AMOUNT", "0.5 1 0", ""},
  };
  for (const auto& c : cases) {
    std::string csv = c.Header + "\n";
    for (char ch : c.Values) csv += ch == ' ' ? '\n' : ch;
    std::string notice;
    ColumnsOf(csv + "\n", &notice);
    const std::string advice = notice.substr(std::min(notice.size(), notice.find('\n') + 1));
    if (c.Advice[0] == 'd' || c.Advice[0] == '\0') {
      EXPECT_EQ(notice, c.Advice);
    } else {
      EXPECT_EQ(advice.substr(0, std::string(c.Advice).size()), c.Advice) << notice;
    }
  }
}

// Numbers with thousands separators or a currency sign, and dates in common
// forms, are advised the declaration that reads them.
TEST(ColumnInference, AdvisesPicturesAndDateFormats) {
  const struct {
    std::string Values;  // one row each
    const char* Advice;  // the notice's second line, or "" for none
  } cases[] = {
      {"12,345.00 9,000.00 17.5 3", "  declare it as \"V:num(#,##0.00)\" in the header, which reads them as numbers\n"},
      {"￥1,200 ￥-3 ￥5", "  declare it as \"V:num(￥#,##0)\" in the header"},
      {"1,23,4 1,234 5", ""},
      {"2024-03-05 2024/3/5 2024年3月5日 2024-03-05\t10:00",
       "  declare it as V:date(yyyy-mm-dd|yyyy/m/d|yyyy年m月d日|yyyy-mm-dd hh:nn) in the header, which reads them as day "
       "numbers\n"},
      {"2024-03-05 soon", ""},
  };
  for (const auto& c : cases) {
    std::string csv = "V\n\"";
    for (char ch : c.Values) csv += ch == ' ' ? std::string("\"\n\"") : std::string(1, ch == '\t' ? ' ' : ch);
    std::string notice;
    ColumnsOf(csv + "\"\n", &notice);
    const std::string advice = notice.substr(std::min(notice.size(), notice.find('\n') + 1));
    EXPECT_EQ(c.Advice[0] == '\0' ? notice : advice.substr(0, std::string(c.Advice).size()), c.Advice) << notice;
  }
}

TEST(ColumnInference, RowsThatWillBeSkippedDoNotCount) {
  const std::vector<SColumn> columns = ColumnsOf(
      "A,B\n"
      "1,2\n"
      "text,2,extra\n"
      "\"text\"x,2\n"
      "1,\xFF\n");
  EXPECT_EQ(columns[0].Type, vtNumber);
  EXPECT_EQ(columns[1].Type, vtNumber);
}

}  // namespace
}  // namespace rulecalc::batch
