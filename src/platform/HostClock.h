#pragma once

namespace rulecalc {

// The current year by the host's local clock.
int HostCurrentYear();

}  // namespace rulecalc
