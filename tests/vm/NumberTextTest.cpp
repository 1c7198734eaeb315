#include <gtest/gtest.h>

#include <cmath>

#include "vm/NumberText.h"

namespace rulecalc {
namespace {

struct SNumberCase {
  const char* Text;
  char Separator;
  bool IsNumber;
  double Value;
};

void PrintTo(const SNumberCase& c, std::ostream* out) { *out << '"' << c.Text << '"'; }

class NumberText : public ::testing::TestWithParam<SNumberCase> {};

TEST_P(NumberText, ReadsDecimalNumbers) {
  const SNumberCase& c = GetParam();
  double value = -12345;
  ASSERT_EQ(ReadNumber(c.Text, c.Separator, value), c.IsNumber);
  if (c.IsNumber) EXPECT_DOUBLE_EQ(value, c.Value);
  else EXPECT_EQ(value, -12345);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberText,
    ::testing::Values(SNumberCase{"12", '.', true, 12}, SNumberCase{"  -2.5  ", '.', true, -2.5},
                      SNumberCase{"+3e2", '.', true, 300}, SNumberCase{"1E-2", '.', true, 0.01},
                      SNumberCase{".5", '.', true, 0.5}, SNumberCase{"5.", '.', true, 5},
                      SNumberCase{"2,5", ',', true, 2.5}, SNumberCase{"2.5", ',', false, 0},
                      SNumberCase{"0.0000001", '.', true, 0.0000001}, SNumberCase{"", '.', false, 0},
                      SNumberCase{" ", '.', false, 0}, SNumberCase{".", '.', false, 0},
                      SNumberCase{"abc", '.', false, 0}, SNumberCase{"1e", '.', false, 0},
                      SNumberCase{"1e+", '.', false, 0}, SNumberCase{"--1", '.', false, 0},
                      SNumberCase{"1 2", '.', false, 0}, SNumberCase{"\t1", '.', false, 0},
                      SNumberCase{"0x10", '.', false, 0}, SNumberCase{"inf", '.', false, 0},
                      SNumberCase{"nan", '.', false, 0}, SNumberCase{"1e400", '.', false, 0},
                      SNumberCase{"1e-400", '.', true, 0}, SNumberCase{"-0.0001e-400", '.', true, 0}));

}  // namespace
}  // namespace rulecalc
