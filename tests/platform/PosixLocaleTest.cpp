#include <gtest/gtest.h>

#if !defined(_WIN32)

#include "platform/LangInfoSettings.h"

namespace rulecalc {
namespace {

// The record's defaults are exactly what the "C" locale gives.
TEST(PosixLocale, TheCLocaleGivesTheDefaultSettings) {
  EXPECT_TRUE(ReadLocaleRegionalSettings("C") == SRegionalSettings{});
  EXPECT_TRUE(ReadLocaleRegionalSettings("POSIX") == SRegionalSettings{});
}

TEST(PosixLocale, ALocaleThatCannotBeLoadedGivesTheCOne) {
  EXPECT_TRUE(ReadLocaleRegionalSettings("xx_NO.SUCH-LOCALE") == SRegionalSettings{});
}

}  // namespace
}  // namespace rulecalc

#endif
