#include <sys/stat.h>

#include "io/SameFile.h"

namespace rulecalc::cli {

namespace {

bool SameIdentity(const struct stat& first, const struct stat& second) {
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

bool SameFile(const std::string& one, const std::string& other) {
  struct stat first {};
  struct stat second {};
  if (stat(one.c_str(), &first) != 0 || stat(other.c_str(), &second) != 0) return false;
  return SameIdentity(first, second);
}

// Only a regular file: a terminal, a pipe or /dev/null behind a descriptor is
// never overwritten by a report.
bool SameFileAsDescriptor(const std::string& path, int descriptor) {
  struct stat opened {};
  struct stat named {};
  if (fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode) || stat(path.c_str(), &named) != 0) return false;
  return SameIdentity(opened, named);
}

}  // namespace rulecalc::cli
