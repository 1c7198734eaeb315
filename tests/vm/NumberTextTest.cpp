#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

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

namespace rulecalc {
namespace {

// The quick reading of short numbers gives the very same doubles as the
// standard reader, bit for bit.
TEST(NumberTextExactness, ShortNumbersMatchTheStandardReader) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    std::string text = std::to_string(random() % 1000000000000000ULL);
    const int point = static_cast<int>(random() % (text.size() + 1));
    if (point < static_cast<int>(text.size())) text.insert(static_cast<std::size_t>(point), ".");
    if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 60) - 30);
    double quick = 0, standard = 0;
    ASSERT_TRUE(ReadNumber(text, '.', quick)) << text;
    const std::string plain = text.front() == '.' ? "0" + text : text;
    std::from_chars(plain.data(), plain.data() + plain.size(), standard);
    ASSERT_EQ(std::memcmp(&quick, &standard, sizeof quick), 0) << text;
  }
}

}  // namespace
}  // namespace rulecalc
