#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace rulecalc::batch {

// What the engine asks of the system's files beyond the C library.

// A second stream on the file that file is open on, with a position of its
// own (so that another thread can read it), or null when the system cannot
// give one. For the engine's copy of standard input, which has no name.
std::FILE* ReopenForReading(std::FILE* file);

// An unnamed temporary file open for writing and reading, gone once closed,
// in the user's folder for temporary files; null when none can be made.
std::FILE* TemporaryFile();

// Reads up to size bytes at offset of the file open as descriptor, leaving
// its position alone. The bytes read, 0 at the end, -1 on failure.
long long ReadAt(int descriptor, char* into, std::size_t size, std::uint64_t offset);

}  // namespace rulecalc::batch
