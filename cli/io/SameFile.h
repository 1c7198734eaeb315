#pragma once

#include <string>

namespace rulecalc::cli {

// True when both paths exist and lead to the same file (same device and
// inode), whatever links or relative parts lead there.
bool SameFile(const std::string& one, const std::string& other);

// Throws TUsageError when output is the same file as input, before anything
// is read or written; what names the input ("the data file").
void RefuseOverwriting(const std::string& output, const std::string& input, const std::string& what);

}  // namespace rulecalc::cli
