#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BatchTestSupport.h"
#include "batch/CsvReader.h"

namespace rulecalc::batch {
namespace {

using testing::TMemoryFile;

struct SExpectedRecord {
  std::vector<std::string> Fields;
  std::uint64_t Line;
  std::string Problem;
};

struct SCsvCase {
  const char* Name;
  std::string Input;
  std::vector<SExpectedRecord> Records;
};

std::vector<SCsvRecord> ReadAll(const std::string& input) {
  TMemoryFile file(input);
  TCsvReader reader(file.File());
  std::vector<SCsvRecord> records;
  SCsvRecord record;
  while (reader.Next(record)) records.push_back(record);
  EXPECT_EQ(reader.BytesConsumed(), input.size());
  return records;
}

class CsvReaderCases : public ::testing::TestWithParam<SCsvCase> {};

TEST_P(CsvReaderCases, ReadsRecordsFieldsLinesAndProblems) {
  const SCsvCase& c = GetParam();
  const std::vector<SCsvRecord> records = ReadAll(c.Input);
  ASSERT_EQ(records.size(), c.Records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].Fields, c.Records[i].Fields) << "record " << i;
    EXPECT_EQ(records[i].Line, c.Records[i].Line) << "record " << i;
    EXPECT_EQ(records[i].Problem, c.Records[i].Problem) << "record " << i;
  }
}

const char* kNotClosed = "a quoted field is not closed before the end of the file";
const char* kAfterQuote = "text follows the closing quote of a field";

INSTANTIATE_TEST_SUITE_P(
    Rfc4180, CsvReaderCases,
    ::testing::Values(
        SCsvCase{"Plain", "a,b\n1,2\n", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        SCsvCase{"CrLf", "a,b\r\n1,2\r\n", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        SCsvCase{"NoFinalLineBreak", "a,b\n1,2", {{{"a", "b"}, 1, ""}, {{"1", "2"}, 2, ""}}},
        SCsvCase{"EmptyFields", ",x,\n", {{{"", "x", ""}, 1, ""}}},
        SCsvCase{"QuotedComma", "\"a,b\",c\n", {{{"a,b", "c"}, 1, ""}}},
        SCsvCase{"DoubledQuotes", "\"say \"\"hi\"\"\",x\n", {{{"say \"hi\"", "x"}, 1, ""}}},
        SCsvCase{"QuotedLineBreaks",
                 "\"one\ntwo\",x\r\n\"three\r\nfour\",y\nz,w\n",
                 {{{"one\ntwo", "x"}, 1, ""}, {{"three\r\nfour", "y"}, 3, ""}, {{"z", "w"}, 5, ""}}},
        SCsvCase{"EmptyQuotedField", "\"\",\"\"\n", {{{"", ""}, 1, ""}}},
        SCsvCase{"QuoteInsideUnquotedField", "ab\"c,d\n", {{{"ab\"c", "d"}, 1, ""}}},
        SCsvCase{"LoneCarriageReturnIsData", "a\rb,c\n", {{{"a\rb", "c"}, 1, ""}}},
        SCsvCase{"EmptyLinesSkipped", "\n\na\r\n\r\nb\n\n", {{{"a"}, 3, ""}, {{"b"}, 5, ""}}},
        SCsvCase{"ChineseBytesUntouched", "名字,城市\n张伟,\"北京,朝阳\"\n",
                 {{{"名字", "城市"}, 1, ""}, {{"张伟", "北京,朝阳"}, 2, ""}}},
        SCsvCase{"QuoteNotClosed", "a,b\n\"open,x\ny\n", {{{"a", "b"}, 1, ""}, {{"open,x\ny\n"}, 2, kNotClosed}}},
        SCsvCase{"TextAfterClosingQuote", "\"a\"b,c\nd,e\n",
                 {{{"a"}, 1, kAfterQuote}, {{"d", "e"}, 2, ""}}},
        SCsvCase{"EmptyInput", "", {}}),
    [](const ::testing::TestParamInfo<SCsvCase>& param) { return std::string(param.param.Name); });

// The reader refills its buffer every 64 KiB; a CRLF or a doubled quote split
// across two fills must read as if it were not.
TEST(CsvReader, LineBreaksAndQuotesAcrossBufferRefills) {
  for (std::size_t pad = 65530; pad < 65540; ++pad) {
    const std::string input = std::string(pad, 'x') + ",\"q\"\"q\"\r\nnext,row\r\n";
    const std::vector<SCsvRecord> records = ReadAll(input);
    ASSERT_EQ(records.size(), 2u) << pad;
    EXPECT_EQ(records[0].Fields, (std::vector<std::string>{std::string(pad, 'x'), "q\"q"})) << pad;
    EXPECT_EQ(records[1].Fields, (std::vector<std::string>{"next", "row"})) << pad;
    EXPECT_EQ(records[1].Line, 2u) << pad;
  }
}

TEST(CsvReader, RecordOverTheLimitIsMalformedAndTheNextOneIsRead) {
  const std::string longField(TCsvReader::kMaxRecordBytes + 10, 'a');
  for (const std::string& field : {"\"" + longField + "\"", "b," + longField}) {
    const std::vector<SCsvRecord> records = ReadAll(field + "\nnext\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[0].Problem.find("longer than"), std::string::npos);
    EXPECT_EQ(records[0].Fields.back().size(), TCsvReader::kMaxRecordBytes - (records[0].Fields.size() - 1));
    EXPECT_EQ(records[1].Fields, std::vector<std::string>{"next"});
  }
}

}  // namespace
}  // namespace rulecalc::batch
