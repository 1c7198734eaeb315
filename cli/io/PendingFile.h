#pragma once

#include <string>

namespace rulecalc::cli {

// A temporary file that must not outlive an interrupted run. While one is
// pending, SIGINT, SIGTERM and SIGHUP remove it, say on standard error that
// the target was left as it was, and end the process as the signal would.
void HoldPendingFile(const std::string& temporary, const std::string& target);

// The temporary file was renamed into place or removed: nothing to clean up.
void ReleasePendingFile();

}  // namespace rulecalc::cli
