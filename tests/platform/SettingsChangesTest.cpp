#include "platform/SettingsChanges.h"

#include <gtest/gtest.h>

namespace rulecalc {
namespace {

struct SOrderCase {
  const char* Picture;
  EDateOrder Order;
  const char* Expected;
};

void PrintTo(const SOrderCase& c, std::ostream* out) { *out << c.Picture; }

class DateOrderChange : public ::testing::TestWithParam<SOrderCase> {};

TEST_P(DateOrderChange, ReordersTheShortDatePictureKeepingFieldWidths) {
  SHostEnvironment environment;
  environment.Settings.ShortDateFormat = GetParam().Picture;
  ASSERT_TRUE(ChangeDateOrder(environment, GetParam().Order));
  EXPECT_EQ(environment.Settings.ShortDateFormat, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, DateOrderChange,
    ::testing::Values(SOrderCase{"mm/dd/yy", EDateOrder::DayMonthYear, "dd/mm/yy"},
                      SOrderCase{"yyyy/M/d", EDateOrder::MonthDayYear, "M/d/yyyy"},
                      SOrderCase{"d.MM.yyyy", EDateOrder::YearMonthDay, "yyyy/MM/d"},
                      SOrderCase{"ee/mm/dd", EDateOrder::DayMonthYear, "dd/mm/ee"},
                      SOrderCase{"dddd", EDateOrder::YearMonthDay, "yyyy/mm/dd"},
                      SOrderCase{"", EDateOrder::MonthDayYear, "mm/dd/yyyy"}));

TEST(SettingsChanges, InvalidValuesChangeNothing) {
  SHostEnvironment environment;
  const SHostEnvironment before = environment;
  EXPECT_FALSE(ChangeDateOrder(environment, static_cast<EDateOrder>(3)));
  EXPECT_FALSE(ChangeDateSeparator(environment, 'q'));
  EXPECT_FALSE(ChangeCurrentYear(environment, 10000));
  EXPECT_EQ(environment.Settings, before.Settings);
  EXPECT_EQ(environment.FixedCurrentYear, before.FixedCurrentYear);
}

}  // namespace
}  // namespace rulecalc
