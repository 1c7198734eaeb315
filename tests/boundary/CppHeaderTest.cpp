// The C++ layer of rulecalc.hpp over the handle functions.

#include "rulecalc.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/TestCalc.h"

namespace rulecalc {
namespace {

TEST(CppCalculator, AnalysesRunsAndReportsAsValues) {
  Calculator calc;
  calc.set_variable("AGE", "16");
  calc.set_variable("NAME", std::string_view("Ann\0ignored", 11), ValueType::Text);
  calc.set_sentence("IF AGE>=18 THEN NAME=\"Ann\" ELSE NAME||1=\"Bob1\";");
  EXPECT_EQ(calc.varnames(), "AGE;NAME");
  EXPECT_EQ(calc.varname_items(), (std::vector<std::string>{"AGE", "NAME"}));
  const AnalyseResult analysed = calc.analyse();
  EXPECT_EQ(calc.analysis_stop().offset, 46u);  // its last token, the ';'
  EXPECT_FALSE(calc.memory_ran_out());
  ASSERT_TRUE(analysed.compiled);
  ASSERT_EQ(analysed.warnings.size(), 1u);
  EXPECT_EQ(analysed.warnings[0].position, 36);
  EXPECT_EQ(testing::Utf8(analysed.warnings[0].message), "数值参与并置运算,结果不可靠!");
  const RunResult result = calc.run();
  EXPECT_EQ(result.status, Status::Failed);
  EXPECT_FALSE(result.held);
  EXPECT_EQ(testing::Utf8(result.explanation), "NAME::IF AGE>=18 不成立则 NAME||1=\"Bob1\"");
  ASSERT_EQ(result.failed_clauses.size(), 1u);
  EXPECT_EQ(testing::Utf8(result.failed_clauses[0].text), "IF AGE>=18 不成立则 NAME||1=\"Bob1\"");
  EXPECT_EQ(result.failed_clauses[0].variables, std::vector<std::string>{"NAME"});
  EXPECT_EQ(result.error, "");
}

TEST(CppCalculator, MovesItsHandle) {
  Calculator first;
  first.set_variable("A", "5");
  first.set_sentence("A>9;");
  rulecalc_handle* const handle = first.handle();
  Calculator second(std::move(first));
  EXPECT_EQ(first.handle(), nullptr);
  EXPECT_EQ(second.handle(), handle);
  EXPECT_EQ(first.run().status, Status::RuntimeError);  // an empty calculator answers, never crashes
  EXPECT_FALSE(first.analyse().compiled);
  EXPECT_FALSE(first.set_interrupt(nullptr, nullptr));
  double number = 0;
  EXPECT_FALSE(first.read_number("1", number));
  EXPECT_TRUE(second.read_number(" 2.5", number));
  EXPECT_EQ(number, 2.5);
  Calculator third;
  third = std::move(second);
  EXPECT_TRUE(third.analyse().compiled);
  EXPECT_EQ(third.run().status, Status::Failed);
  EXPECT_FALSE(third.set_date_separator('x'));
  EXPECT_TRUE(third.set_date_order(DateOrder::YearMonthDay));
  EXPECT_TRUE(third.set_interrupt(nullptr, nullptr));
  EXPECT_EQ(Calculator::version(), RULECALC_VERSION_STRING);
}

}  // namespace
}  // namespace rulecalc
