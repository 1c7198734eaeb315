#pragma once

#include "platform/RegionalSettings.h"

namespace rulecalc {

// What the library takes from the host: the regional settings and the clock.
// Instances made for tests fix both so results do not depend on the machine.
struct SHostEnvironment {
  SRegionalSettings Settings;
  int FixedCurrentYear = 0;  // the year to treat as current; 0 asks the host clock

  int CurrentYear() const;
};

// The host's own settings, with the host clock.
SHostEnvironment ReadHostEnvironment();

}  // namespace rulecalc
