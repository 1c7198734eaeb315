#pragma once

#include <memory>
#include <string>

#include "boundary/RuleCalc.h"
#include "platform/HostEnvironment.h"

namespace rulecalc::testing {

// Settings that do not depend on the machine: month/day/year with "/", a
// point as decimal separator, and 2026 as the current year.
SHostEnvironment FixedEnvironment();

// A fresh, independent calculator with the fixed settings.
std::unique_ptr<TRuleCalc> MakeCalc(SHostEnvironment environment = FixedEnvironment());

// UTF-8 text converted to GBK, and back (for readable expectations).
std::string Gbk(const std::string& utf8);
std::string Utf8(const std::string& gbk);

}  // namespace rulecalc::testing
