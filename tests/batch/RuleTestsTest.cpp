// Rule tests through the engine's C interface: the expectation columns of a
// tests file, each case compared, and the exit status.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BatchTestSupport.h"
#include "rulecalc_batch.h"

namespace {

using rulecalc::batch::testing::TTemporaryFile;

const char kRules[] = "adult: AGE >= 18;\nborn: BORN > 0;\nnamed: LENGTH(NAME) > 0;\n";

struct SCase {
  const char* Name;
  std::string Tests;
  int Status;
  std::vector<std::string> Cases;  // "row line key rule expected|wanted got held" each
};

std::string Described(const rulecalc_batch_test_case& test) {
  return std::to_string(test.row) + " " + std::to_string(test.line) + " " + test.key + " " + test.rule + " " +
         test.expected + "|" + test.wanted_text + " " + test.got + " " + (test.held ? "held" : "not");
}

const std::vector<SCase>& Cases() {
  static const std::vector<SCase> cases = {
      {"verdicts compared, letter case ignored, empty cells not checked",
       "ID,AGE,BORN:date(yyyy-mm-dd),expect:born,expect:adult\nA,20,2000-01-02,TRUE,\nB,10,2000-01-02,false,true\n", 1,
       {"1 2 A born true| true held", "2 3 B adult true| false not", "2 3 B born false| true not"}},
      {"an error is a verdict to expect, and the explanation is searched",
       "ID,AGE,BORN:date(yyyy-mm-dd),expect:born,explain:adult\nA,10,never,error,AGE\nB,20,never,true,AGE\n", 1,
       {"1 2 A adult |AGE false held", "1 2 A born error| error held", "2 3 B adult |AGE true not",
        "2 3 B born true| error not"}},
      {"only the rules expected are run: the others' columns may be missing",
       "ID,AGE,expect:adult\nA,30,true\n", 0, {"1 2 A adult true| true held"}},
      {"a row that cannot be read is a case that does not hold",
       "ID,AGE,expect:adult\nA,30,true\nB,1\n", 1, {"1 2 A adult true| true held", "2 3   | skipped not"}},
      {"no expectation at all", "ID,AGE,expect:adult\nA,30,\n", 3, {}},
  };
  return cases;
}

TEST(RuleTests, ExpectationsAreComparedRowByRow) {
  const TTemporaryFile rules(kRules);
  for (const SCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    const TTemporaryFile tests(c.Tests);
    rulecalc_batch* batch = rulecalc_batch_new();
    ASSERT_EQ(rulecalc_batch_set_option(batch, "tests", "1"), RULECALC_BATCH_OK);
    ASSERT_EQ(rulecalc_batch_set_option(batch, "key", "ID"), RULECALC_BATCH_OK);
    ASSERT_EQ(rulecalc_batch_read_rules(batch, rules.Path().c_str()), RULECALC_BATCH_OK);
    ASSERT_EQ(rulecalc_batch_add_data(batch, tests.Path().c_str()), RULECALC_BATCH_OK) << rulecalc_batch_message(batch, nullptr);
    EXPECT_EQ(rulecalc_batch_test(batch), RULECALC_BATCH_OK) << rulecalc_batch_message(batch, nullptr);
    std::vector<std::string> described;
    for (size_t i = 0; i < rulecalc_batch_test_case_count(batch); ++i) {
      rulecalc_batch_test_case test{};
      ASSERT_EQ(rulecalc_batch_test_case_at(batch, i, &test), 0);
      described.push_back(Described(test));
    }
    EXPECT_EQ(described, c.Cases);
    EXPECT_EQ(rulecalc_batch_exit_status(batch), c.Status);
    rulecalc_batch_free(batch);
  }
}

TEST(RuleTests, UnusableExpectationsAreRefusedNamingThem) {
  const TTemporaryFile rules(kRules);
  const struct {
    std::string Tests;
    rulecalc_batch_status AtAdd, AtTest;
    std::string Message;
  } cases[] = {
      {"AGE,expect:nobody\n1,true\n", RULECALC_BATCH_UNUSABLE, RULECALC_BATCH_BAD_CALL, "the column 'expect:nobody' names no rule"},
      {"AGE,explain:nobody\n1,x\n", RULECALC_BATCH_UNUSABLE, RULECALC_BATCH_BAD_CALL, "the column 'explain:nobody' names no rule"},
      {"AGE,expect:adult\n1,maybe\n", RULECALC_BATCH_OK, RULECALC_BATCH_UNUSABLE, ":2: row 1, column 2: 'maybe' is not true, false or error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tests);
    const TTemporaryFile tests(c.Tests);
    rulecalc_batch* batch = rulecalc_batch_new();
    ASSERT_EQ(rulecalc_batch_set_option(batch, "tests", "1"), RULECALC_BATCH_OK);
    ASSERT_EQ(rulecalc_batch_read_rules(batch, rules.Path().c_str()), RULECALC_BATCH_OK);
    const rulecalc_batch_status added = rulecalc_batch_add_data(batch, tests.Path().c_str());
    EXPECT_EQ(added, c.AtAdd);
    const std::string atAdd = rulecalc_batch_message(batch, nullptr);
    EXPECT_EQ(rulecalc_batch_test(batch), c.AtTest);
    const std::string message = added == RULECALC_BATCH_OK ? rulecalc_batch_message(batch, nullptr) : atAdd;
    EXPECT_NE(message.find(c.Message), std::string::npos) << message;
    rulecalc_batch_free(batch);
  }
}

}  // namespace
