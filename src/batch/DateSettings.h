#pragma once

#include <string>

#include "platform/HostEnvironment.h"

namespace rulecalc::batch {

// Adjusts settings so that TODATE reads, and TOCHAR's short date writes,
// dates in order ("ymd", "mdy" or "dmy"; empty keeps the settings' own)
// with separator (0 keeps the settings' own).
void WithDateReading(SRegionalSettings& settings, const std::string& order, char separator);

// The host's environment with the date reading adjusted: the calculators of a batch use it.
SHostEnvironment BatchEnvironment(const std::string& order, char separator);

}  // namespace rulecalc::batch
