#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Assignment.h"
#include "Failures.h"

namespace rulecalc::cli {
namespace {

struct SAssignmentCase {
  const char* Written;
  const char* Name;
  std::optional<ValueType> Type;
  const char* Value;
};

class AssignmentCases : public ::testing::TestWithParam<SAssignmentCase> {};

TEST_P(AssignmentCases, SplitsNameTypeAndValue) {
  const SAssignmentCase& c = GetParam();
  TOutsideText texts;
  const SAssignment assignment = ParseAssignment(c.Written, texts);
  EXPECT_EQ(assignment.Name.Name, c.Name);
  EXPECT_EQ(assignment.Name.Typed ? std::optional<ValueType>(assignment.Name.Type) : std::nullopt, c.Type);
  EXPECT_EQ(assignment.Value, c.Value);
}

INSTANTIATE_TEST_SUITE_P(Written, AssignmentCases,
                         ::testing::Values(SAssignmentCase{"AGE=20", "AGE", std::nullopt, "20"},
                                           SAssignmentCase{"AGE=", "AGE", std::nullopt, ""},
                                           SAssignmentCase{"CODE:text=007", "CODE", ValueType::Text, "007"},
                                           SAssignmentCase{"N:NUM=abc", "N", ValueType::Number, "abc"},
                                           SAssignmentCase{"EXPR=a=b", "EXPR", std::nullopt, "a=b"},
                                           SAssignmentCase{"T=12:30", "T", std::nullopt, "12:30"},
                                           SAssignmentCase{" X :text= 1", "X", ValueType::Text, " 1"}));

TEST(Assignment, RefusesWhatIsNotNameEqualsValue) {
  TOutsideText texts;
  for (const char* written : {"AGE", "=5", ":text=5", "AGE:date=5", "AGE:=5"}) {
    EXPECT_THROW(ParseAssignment(written, texts), TUsageError) << written;
  }
}

}  // namespace
}  // namespace rulecalc::cli
