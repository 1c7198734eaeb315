#include <gtest/gtest.h>

#include "boundary/VarTable.h"
#include "support/TestCalc.h"

namespace rulecalc {
namespace {

TEST(VarTable, EmptyNumericValueIsTheNullNumberText) {
  TVarTable table;
  table.SetVar("x", "", 0);
  table.SetVar("t", "", 1);
  SVarStruct record;
  ASSERT_TRUE(table.FindVar("x", record));
  EXPECT_EQ(record.Value, "0.0000001");
  ASSERT_TRUE(table.FindVar("t", record));
  EXPECT_EQ(record.Value, "");
}

TEST(VarTable, ReplacingKeepsPlaceAndFirstSpelling) {
  TVarTable table;
  table.SetVar("X", "1", 0);
  table.SetVar("Y", "2", 0);
  table.SetVar("x", "abc", 1);
  ASSERT_EQ(table.All().size(), 2u);
  EXPECT_EQ(table.All()[0].Name, "X");
  EXPECT_EQ(table.All()[0].Value, "abc");
  EXPECT_EQ(table.All()[0].Type, 1);
}

TEST(VarTable, ValuesAndTypeCodesAreStoredUnchanged) {
  TVarTable table;
  table.SetVar("n", " abc ", 0);
  table.SetVar("k", "7", 42);
  SVarStruct record;
  ASSERT_TRUE(table.FindVar("N", record));
  EXPECT_EQ(record.Value, " abc ");
  ASSERT_TRUE(table.FindVar("K", record));
  EXPECT_EQ(record.Type, 42);
}

struct SNameCase {
  const char* Stored;
  const char* Sought;
  bool Same;
};

class NameComparison : public ::testing::TestWithParam<SNameCase> {};

TEST_P(NameComparison, FoldsOnlyAToZ) {
  TVarTable table;
  table.SetVar(GetParam().Stored, "1", 0);
  SVarStruct record;
  EXPECT_EQ(table.FindVar(GetParam().Sought, record), GetParam().Same)
      << GetParam().Stored << " vs " << GetParam().Sought;
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameComparison,
    ::testing::Values(SNameCase{"price", "PRICE", true}, SNameCase{"Price", "pRICE", true},
                      SNameCase{"price", "price ", false}, SNameCase{"a_1", "A_1", true},
                      SNameCase{"\xb0" "a", "\xb0" "A", true},   // trail byte in a..z folds too
                      SNameCase{"\xe0", "\xc0", false},          // no folding above 0x7F
                      SNameCase{"", "", true}, SNameCase{"[", "{", false}));

TEST(VarTable, ClearMemoryForgetsEveryVariable) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue("A", "1", 0);
  calc->ClearMemory();
  SVarStruct record;
  EXPECT_FALSE(calc->Machine.FindVar("A", record));
  calc->SetSentence("A>0;");
  EXPECT_FALSE(calc->Analyse());
  EXPECT_EQ(testing::Utf8(calc->GetAnalyseError()), "变量A未赋值!");
}

TEST(VarTable, NullPointersCountAsEmptyTexts) {
  auto calc = testing::MakeCalc();
  calc->SetVarValue(nullptr, nullptr, 0);
  calc->SetSentence(nullptr);
  SVarStruct record;
  ASSERT_TRUE(calc->Machine.FindVar("", record));
  EXPECT_EQ(record.Value, "0.0000001");
  EXPECT_STREQ(calc->GetTokens(), "");
}

}  // namespace
}  // namespace rulecalc
