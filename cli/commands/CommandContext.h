#pragma once

#include <string>

#include "ExitStatus.h"

namespace rulecalc::cli {

// What every command shares: the options of the tool as a whole and the exit
// status the chosen command leaves.
struct SCommandContext {
  std::string RequestedEncoding;  // --encoding; empty for the terminal's own
  int ExitStatus = esHeld;
};

}  // namespace rulecalc::cli
