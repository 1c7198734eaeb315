#pragma once

#include <cstdio>
#include <string>

namespace rulecalc::cli {

// The system's half of TReportSink: where a report goes and how it is put
// in place. Messages name the output as path.

// The file a report written to path replaces: on POSIX systems symbolic
// links are followed, so that the link stays. Throws TUsageError for links
// that form a loop.
std::string ReplacedFile(const std::string& path);

// Throws TUsageError when target is a file its owner may not write.
void RefuseReadOnly(const std::string& path, const std::string& target);

// True for a device, a pipe or a socket: written in place.
bool IsSpecialFile(const std::string& target);

// The pattern (ending in XXXXXX) of the temporary file beside target.
std::string TemporaryPattern(const std::string& target);

// Gives the finished temporary file the permissions of the file it replaces.
void TakeModeOf(std::FILE* temporary, const std::string& target);

// Replaces target by temporary in one step; false with errno set.
bool PutInPlace(const std::string& temporary, const std::string& target);

}  // namespace rulecalc::cli
