#include "platform/HostEnvironment.h"

#include "platform/HostClock.h"

namespace rulecalc {

int SHostEnvironment::CurrentYear() const {
  return FixedCurrentYear != 0 ? FixedCurrentYear : HostCurrentYear();
}

SHostEnvironment ReadHostEnvironment() {
  SHostEnvironment env;
  env.Settings = ReadHostRegionalSettings();
  return env;
}

}  // namespace rulecalc
