#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliTestSupport.h"
#include "Failures.h"
#include "batch/ColumnInference.h"
#include "batch/Columns.h"
#include "batch/RulesFile.h"

namespace rulecalc::cli {
namespace {

using testing::Gbk;
using testing::TMemoryFile;
using testing::TTemporaryFile;

std::vector<SRule> RulesOf(const std::string& content) {
  TTemporaryFile file(content);
  TTextCodec codec("UTF-8");
  return ReadRulesFile(file.Path(), codec);
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

TEST(RulesFile, ConvertsSentencesToGbk) {
  EXPECT_EQ(RulesOf("城市: CITY = \"北京\";\n")[0].GbkSentence, Gbk("CITY = \"北京\";"));
}

TEST(RulesFile, RefusesMalformedFiles) {
  for (const char* content : {"no colon here\n", ": A>1;\n", "empty:\n", "a: A>1;\na: B>1;\n", "# only comments\n", ""}) {
    EXPECT_THROW(RulesOf(content), TUsageError) << content;
  }
  EXPECT_THROW(RulesOf("bad: A = \"\xFF\";\n"), TConversionError);
  TTextCodec codec("UTF-8");
  EXPECT_THROW(ReadRulesFile("/nonexistent/rules", codec), TUsageError);
}

std::vector<SColumn> ColumnsOf(const std::string& csv) {
  TMemoryFile file(csv);
  TCsvReader reader(file.File());
  SCsvRecord header;
  reader.Next(header);
  TTextCodec codec("UTF-8");
  std::vector<SColumn> columns = ColumnsOfHeader(header, codec);
  InferColumnTypes(reader, columns, codec, '.', [] {});
  return columns;
}

TEST(Columns, HeaderNamesTypesAndByteOrderMark) {
  const std::vector<SColumn> columns = ColumnsOf("\xEF\xBB\xBF" "AGE, CODE:text ,N:num\n");
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].Name, "AGE");
  EXPECT_FALSE(columns[0].Declared.has_value());
  EXPECT_EQ(columns[1].Name, "CODE");
  EXPECT_EQ(columns[1].Type, vtText);
  EXPECT_EQ(columns[2].Type, vtNumber);
}

TEST(Columns, RefusesRepeatedEmptyAndBadlyTypedNames) {
  for (const char* csv : {"AGE,age\n", "A,,B\n", "A:date\n", "\"A\n"}) {
    EXPECT_THROW(ColumnsOf(csv), TUsageError) << csv;
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
}  // namespace rulecalc::cli
