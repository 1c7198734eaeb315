#pragma once

#include <string>

namespace rulecalc::cli {

// Temporary files that must not outlive an interrupted run (the report and
// the failed rows' file, written beside their targets). While one is
// pending, an interrupt (SIGINT, SIGTERM and SIGHUP; on Windows Ctrl-C and
// the console's other control events, see Interrupts.h) removes every
// pending file, says on standard error that each target was left as it was,
// and ends the process as the interrupt would.
//
// Makes the file from `pattern` (ending in XXXXXX, as for mkstemp) inside
// the buffer the signal handler reads, so that an interrupt at any moment,
// even while the file is being made, leaves nothing behind. Returns the open
// descriptor and stores the file's name in `temporary` and its slot in
// `slot`; -1 with errno set when it cannot be made (or too many are pending).
int CreatePendingFile(const std::string& pattern, const std::string& target, std::string& temporary, int& slot);

// The temporary file was renamed into place or removed: nothing to clean up.
void ReleasePendingFile(int slot);

}  // namespace rulecalc::cli
