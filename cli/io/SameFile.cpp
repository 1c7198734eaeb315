#include "io/SameFile.h"

#include <sys/stat.h>

#include "Failures.h"

namespace rulecalc::cli {

bool SameFile(const std::string& one, const std::string& other) {
  struct stat first {};
  struct stat second {};
  if (stat(one.c_str(), &first) != 0 || stat(other.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void RefuseOverwriting(const std::string& output, const std::string& input, const std::string& what) {
  if (output.empty() || !SameFile(output, input)) return;
  throw TUsageError("the output '" + output + "' is " + what + " '" + input +
                    "' (the same file); choose another output, nothing was written");
}

}  // namespace rulecalc::cli
