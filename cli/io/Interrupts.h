#pragma once

namespace rulecalc::cli {

// The system's half of the pending files (PendingFile.cpp keeps the list).

// Creates the file named by pattern, its XXXXXX replaced in place, for
// reading and writing, only if no such file exists. The descriptor, or -1
// with errno set.
int MakeUniqueFile(char* pattern);

// From now on an interrupt (Ctrl-C, a termination request) calls
// RemovePendingFiles before the tool ends as the interrupt would end it.
void InstallInterruptHandlers();

// Both safe in the middle of an interrupt.
void RemoveFileNow(const char* path);
void SayNow(const char* text);

// Removes every pending file and says so (PendingFile.cpp).
void RemovePendingFiles();

}  // namespace rulecalc::cli
