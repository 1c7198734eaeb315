#include <gtest/gtest.h>

#include <string>

#include "support/TestCalc.h"

namespace rulecalc {
namespace {

class Machine : public ::testing::Test {
 protected:
  std::unique_ptr<TRuleCalc> Calc = testing::MakeCalc();
  TVirtualMachine& M = Calc->Machine;

  void Push(int count, std::uint8_t type) {
    for (int i = 0; i < count; ++i) M.AddCode(opPush, type == 0 ? "$C0" : "$S0", "", type);
  }
  std::string Error() { return testing::Utf8(M.RuntimeError); }
};

TEST_F(Machine, The2049thPushOverflowsTheNumberStack) {
  Push(2048, 0);
  EXPECT_FALSE(M.Run());  // no comparison ran, so $BR is still false
  EXPECT_EQ(M.FloatTop, 2048);
  EXPECT_EQ(Error(), "");
  M.ClearMemory();
  Push(2049, 0);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(M.FloatTop, 2048);
  EXPECT_EQ(Error(), "虚拟机运行时发生浮点数堆栈溢出错误!");
}

TEST_F(Machine, The2049thPushOverflowsTheTextStack) {
  Push(2049, 1);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(M.StringTop, 2048);
  EXPECT_EQ(Error(), "虚拟机运行时发生字符串堆栈溢出错误!");
}

TEST_F(Machine, PoppingAnEmptyStackIsAnOverflowToo) {
  M.AddCode(opPop, "$C0", "", 0);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(Error(), "虚拟机运行时发生浮点数堆栈溢出错误!");
  M.ClearMemory();
  M.AddCode(opPop, "$S1", "", 1);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(Error(), "虚拟机运行时发生字符串堆栈溢出错误!");
}

TEST_F(Machine, StacksKeepTheirDepthAcrossRuns) {
  Push(1024, 0);
  EXPECT_FALSE(M.Run());
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(M.FloatTop, 2048);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(Error(), "虚拟机运行时发生浮点数堆栈溢出错误!");
}

TEST_F(Machine, BooleansTravelOnTheNumberStack) {
  M.Registers.BR = true;
  M.AddCode(opPush, "$BR", "", 0);
  M.AddCode(opMovD, "$C0", "2.5", 0);
  M.AddCode(opPush, "$C0", "", 0);
  M.AddCode(opPop, "$BR1", "", 0);
  M.AddCode(opPop, "$C1", "", 0);
  M.Run();
  EXPECT_TRUE(M.Registers.BR1);
  EXPECT_EQ(M.Registers.C1, 1.0);
}

TEST_F(Machine, UnknownOpcodesAndValueTypesDoNothing) {
  M.AddCode(200, "$C0", "1", 0);
  M.AddCode(kOpCodeCount, "", "", 0);
  M.AddCode(opMovD, "$C0", "7", 2);
  M.AddCode(opMovF, "$C0", "missing", 5);
  M.AddCode(opPush, "$C0", "", 3);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(M.Registers.C0, 0.0);
  EXPECT_EQ(M.FloatTop, 0);
  EXPECT_EQ(Error(), "");
  EXPECT_EQ(M.Code.size(), 5u);
}

TEST_F(Machine, JumpsSearchForwardForTheFirstLabelOfTheirName) {
  M.AddCode(opNOP, "L", "", 0);  // behind the jump: never a target
  M.AddCode(opJMP, "L", "", 0);
  M.AddCode(opMovD, "$C0", "1", 0);
  M.AddCode(opNOP, "L", "", 0);
  M.AddCode(opMovD, "$C1", "2", 0);
  M.AddCode(opNOP, "L", "", 0);
  M.AddCode(opMovD, "$R0", "3", 0);
  M.Run();
  EXPECT_EQ(M.Registers.C0, 0.0);
  EXPECT_EQ(M.Registers.C1, 2.0);
  EXPECT_EQ(M.Registers.R0, 3.0);
}

TEST_F(Machine, JnbJumpsOnlyWhenFalse) {
  M.AddCode(opMovD, "$C0", "1", 0);
  M.AddCode(opMovR, "$R0", "$C0", 0);
  M.AddCode(opEqual, "", "", 0);  // true
  M.AddCode(opJNB, "L", "", 0);
  M.AddCode(opMovD, "$C1", "9", 0);
  M.AddCode(opNOP, "L", "", 0);
  EXPECT_TRUE(M.Run());
  EXPECT_EQ(M.Registers.C1, 9.0);
}

TEST_F(Machine, AJumpToAMissingLabelEndsTheRun) {
  M.AddCode(opJMP, "nowhere", "", 0);
  M.AddCode(opMovD, "$C0", "5", 0);
  EXPECT_FALSE(M.Run());
  EXPECT_EQ(M.Registers.C0, 0.0);
}

TEST_F(Machine, LabelsAddedLaterAreFound) {
  M.AddCode(opJMP, "L", "", 0);
  M.AddCode(opMovD, "$C0", "5", 0);
  M.Run();
  EXPECT_EQ(M.Registers.C0, 0.0);
  M.AddCode(opNOP, "L", "", 0);
  M.AddCode(opMovD, "$C1", "6", 0);
  M.Run();
  EXPECT_EQ(M.Registers.C0, 0.0);
  EXPECT_EQ(M.Registers.C1, 6.0);
}

TEST_F(Machine, RegistersAcceptOnlyTheirOwnNames) {
  M.AddCode(opMovD, "$S0", "text", 0);  // not a number register: nothing happens
  M.AddCode(opMovD, "$C0", "12", 1);    // not a text register: nothing happens
  M.AddCode(opMovD, "$c0", "3", 0);     // names are exact
  M.AddCode(opMovD, "$RS", "r", 1);
  M.AddCode(opMovR, "$S1", "$RS", 1);
  M.Run();
  EXPECT_EQ(M.Registers.C0, 0.0);
  EXPECT_EQ(M.Registers.S0, "");
  EXPECT_EQ(M.Registers.S1, "r");
}

TEST_F(Machine, AConstantThatIsNoNumberLoadsTheNullNumber) {
  M.AddCode(opMovD, "$C0", "abc", 0);
  M.Run();
  EXPECT_EQ(M.Registers.C0, NullNumber);
}

TEST_F(Machine, NewLabelCountsFromOneAfterClearMemory) {
  EXPECT_EQ(M.NewLabel(), "Label1");
  EXPECT_EQ(M.NewLabel(), "Label2");
  M.ClearMemory();
  EXPECT_EQ(M.NewLabel(), "Label1");
  EXPECT_TRUE(M.Code.empty());
}

TEST_F(Machine, AddCodeStoresAnythingUnchanged) {
  M.AddCode(99, "any", "thing", 7);
  ASSERT_EQ(M.Code.size(), 1u);
  EXPECT_EQ(M.Code[0].OpCode, 99);
  EXPECT_EQ(M.Code[0].Operand1, "any");
  EXPECT_EQ(M.Code[0].Operand2, "thing");
  EXPECT_EQ(M.Code[0].ValueType, 7);
}

}  // namespace
}  // namespace rulecalc
