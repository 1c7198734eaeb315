#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "boundary/ResultBuffer.h"
#include "common/Messages.h"
#include "rulecalc.h"
#include "support/TestCalc.h"
#include "vm/OpCode.h"

namespace rulecalc {
namespace {

TEST(ResultBuffer, CopiesUpToTheFirstNulAndClearsTheRest) {
  SResultBuffer buffer;
  std::memset(buffer.Bytes, 'x', kResultBufferSize - 1);
  const char* held = buffer.Hold(std::string_view("ab\0cd", 5));
  EXPECT_EQ(held, buffer.Bytes);
  EXPECT_STREQ(held, "ab");
  for (std::size_t i = 2; i < kResultBufferSize; ++i) ASSERT_EQ(buffer.Bytes[i], '\0') << i;
}

TEST(ResultBuffer, CutsInsideADoubleByteCharacter) {
  SResultBuffer buffer;
  const std::string text = std::string(2046, 'a') + "\xd6\xd0";
  buffer.Hold(text);
  EXPECT_EQ(std::string(buffer.Bytes), std::string(2046, 'a') + "\xd6");
}

// Every fixed text decodes from GBK to exactly the Chinese text it stands for.
TEST(Messages, GbkBytesDecodeToTheirReadableText) {
  for (int i = 0; i < kMessageCount; ++i) {
    const SFixedText& text = MessageTable()[i];
    EXPECT_EQ(testing::Utf8(text.Gbk), text.Readable) << i;
  }
  for (int i = 0; i < kOpCodeCount; ++i) {
    const SOpCodeInfo& info = OpCodeTable()[i];
    EXPECT_EQ(testing::Utf8(info.Description), info.Readable) << info.Name;
  }
}

TEST(Messages, OpCodeNamesFollowTheirNumbers) {
  EXPECT_STREQ(OpCodeTable()[opAdd].Name, "opAdd");
  EXPECT_STREQ(OpCodeTable()[opFindstr].Name, "opFindstr");
  EXPECT_STREQ(OpCodeTable()[opFindstr].Description, "");
  EXPECT_STREQ(OpCodeTable()[opNvl].Description, "");
  EXPECT_STREQ(OpCodeTable()[opLg].Name, "opLg");
  EXPECT_STREQ(OpCodeTable()[opNOP].Name, "opNOP");
}

// The flat exports share one global calculator and one buffer.
TEST(FlatExports, TextGettersShareOneBuffer) {
  ::ClearMemory();
  ::SetSentence("A+B");
  const char* tokens = ::GetTokens();
  EXPECT_STREQ(tokens, "A;+;B;");
  const char* error = ::GetAnalyseError();
  EXPECT_EQ(tokens, error);
  EXPECT_STRNE(tokens, "A;+;B;");
}

TEST(FlatExports, ClearMemoryKeepsTheAnalysisError) {
  ::ClearMemory();
  ::SetSentence("");
  EXPECT_FALSE(::Analyse());
  const std::string message = testing::Utf8(::GetAnalyseError());
  EXPECT_EQ(message, "表达式语法定义错误!");
  ::ClearMemory();
  EXPECT_EQ(testing::Utf8(::GetAnalyseError()), message);
  ::SetSentence(";");
  EXPECT_TRUE(::Analyse());
  EXPECT_EQ(testing::Utf8(::GetAnalyseError()), message);
}

TEST(FlatExports, RunWithoutCodeHolds) {
  ::ClearMemory();
  EXPECT_TRUE(::Run());
  EXPECT_STREQ(::GetRuntimeError(), "");
}

TEST(ClearMemory, ResetsExactlyTheMachineState) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "0", 0);
  calc->SetSentence("IF A>1 THEN A<0; rest");
  ASSERT_TRUE(calc->Analyse());
  calc->Run();
  calc->Machine.Registers.S0 = "x";
  calc->Machine.Registers.C1 = 3;
  calc->Machine.FloatTop = 5;
  calc->Machine.RuntimeError = "old";
  const std::int32_t position = calc->Tokeniser.Position;
  calc->ClearMemory();
  const TVirtualMachine& m = calc->Machine;
  EXPECT_FALSE(m.Registers.BR);
  EXPECT_EQ(m.Registers.C1, 0.0);
  EXPECT_EQ(m.Registers.S0, "");
  EXPECT_EQ(m.FloatTop, 0);
  EXPECT_EQ(m.StringTop, 0);
  EXPECT_EQ(m.RuntimeError, "");
  EXPECT_EQ(m.LabelCount, 0);
  EXPECT_TRUE(m.Code.empty());
  EXPECT_TRUE(m.Vars.All().empty());
  EXPECT_EQ(calc->Tokeniser.Position, position);
  EXPECT_EQ(calc->Tokeniser.Sentence, "IF A>1 THEN A<0; rest");
}

}  // namespace
}  // namespace rulecalc
