#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "batch/Failures.h"
#include "batch/calc/Assignment.h"
#include "batch/calc/ListingItems.h"
#include "batch/calc/ValueKind.h"

namespace rulecalc::cli {
namespace {

struct SAssignmentCase {
  const char* Written;
  const char* Name;
  std::optional<EMValueType> Type;
  const char* Value;
};

class AssignmentCases : public ::testing::TestWithParam<SAssignmentCase> {};

TEST_P(AssignmentCases, SplitsNameTypeAndValue) {
  const SAssignmentCase& c = GetParam();
  const SAssignment assignment = ParseAssignment(c.Written);
  EXPECT_EQ(assignment.Name.Name, c.Name);
  EXPECT_EQ(assignment.Name.Type, c.Type);
  EXPECT_EQ(assignment.Value, c.Value);
}

INSTANTIATE_TEST_SUITE_P(Written, AssignmentCases,
                         ::testing::Values(SAssignmentCase{"AGE=20", "AGE", std::nullopt, "20"},
                                           SAssignmentCase{"AGE=", "AGE", std::nullopt, ""},
                                           SAssignmentCase{"CODE:text=007", "CODE", vtText, "007"},
                                           SAssignmentCase{"N:NUM=abc", "N", vtNumber, "abc"},
                                           SAssignmentCase{"EXPR=a=b", "EXPR", std::nullopt, "a=b"},
                                           SAssignmentCase{"T=12:30", "T", std::nullopt, "12:30"},
                                           SAssignmentCase{" X :text= 1", "X", vtText, " 1"}));

TEST(Assignment, RefusesWhatIsNotNameEqualsValue) {
  for (const char* written : {"AGE", "=5", ":text=5", "AGE:date=5", "AGE:=5"}) {
    EXPECT_THROW(ParseAssignment(written), TUsageError) << written;
  }
}

struct SValueCase {
  const char* Value;
  char Separator;
  EMValueType Expected;
};

class ValueTypeCases : public ::testing::TestWithParam<SValueCase> {};

TEST_P(ValueTypeCases, NumbersAsTheLibraryReadsThem) {
  const SValueCase& c = GetParam();
  EXPECT_EQ(InferValueType(c.Value, c.Separator), c.Expected) << c.Value;
}

INSTANTIATE_TEST_SUITE_P(Values, ValueTypeCases,
                         ::testing::Values(SValueCase{"", '.', vtNumber}, SValueCase{"42", '.', vtNumber},
                                           SValueCase{" -1.5e3 ", '.', vtNumber}, SValueCase{".5", '.', vtNumber},
                                           SValueCase{"1,5", '.', vtText}, SValueCase{"1,5", ',', vtNumber},
                                           SValueCase{"1.5", ',', vtText}, SValueCase{"abc", '.', vtText},
                                           SValueCase{"12abc", '.', vtText}, SValueCase{"0x10", '.', vtText}));

struct SListingCase {
  const char* Listing;
  std::vector<std::string> Items;
};

class TerminatedListingCases : public ::testing::TestWithParam<SListingCase> {};

TEST_P(TerminatedListingCases, SplitsAtTheSeparatorAfterEachToken) {
  EXPECT_EQ(SplitTerminatedListing(GetParam().Listing), GetParam().Items);
}

INSTANTIATE_TEST_SUITE_P(
    Listings, TerminatedListingCases,
    ::testing::Values(SListingCase{"", {}}, SListingCase{"A;+;B;", {"A", "+", "B"}},
                      SListingCase{"A;>;1;;;", {"A", ">", "1", ";"}},
                      SListingCase{"x;=;\"a;b\";;;", {"x", "=", "\"a;b\"", ";"}},
                      SListingCase{"\"\";;;", {"\"\"", ";"}},
                      SListingCase{"\";abc;", {"\"", "abc"}},
                      SListingCase{"  ;x;", {"  ", "x"}},
                      SListingCase{"1.5;3;", {"1.5", "3"}}));

TEST(JoinedListing, SplitsNamesJoinedBySeparators) {
  EXPECT_EQ(SplitJoinedListing(""), std::vector<std::string>{});
  EXPECT_EQ(SplitJoinedListing("a"), std::vector<std::string>{"a"});
  EXPECT_EQ(SplitJoinedListing("a;b1"), (std::vector<std::string>{"a", "b1"}));
}

}  // namespace
}  // namespace rulecalc::cli
