#include <unistd.h>

#include <cerrno>
#include <string>

#include "batch/SystemFiles.h"

namespace rulecalc::batch {

std::FILE* ReopenForReading(std::FILE* file) {
  const std::string descriptor = "/proc/self/fd/" + std::to_string(fileno(file));
  return std::fopen(descriptor.c_str(), "rb");
}

std::FILE* TemporaryFile() { return std::tmpfile(); }

long long ReadAt(int descriptor, char* into, std::size_t size, std::uint64_t offset) {
  while (true) {
    const ssize_t read = pread(descriptor, into, size, static_cast<off_t>(offset));
    if (read >= 0 || errno != EINTR) return read;
  }
}

}  // namespace rulecalc::batch
