#pragma once

#include <string>

namespace rulecalc::cli {

// True when both paths exist and lead to the same file (same device and
// inode), whatever links or relative parts lead there.
bool SameFile(const std::string& one, const std::string& other);

// True when descriptor is open on a regular file and path leads to it.
bool SameFileAsDescriptor(const std::string& path, int descriptor);

// Throws TUsageError when output is the same file as input, before anything
// is read or written; what names the input ("the data file").
void RefuseOverwriting(const std::string& output, const std::string& input, const std::string& what);

// The same for an input read from standard input ("--data -"): output is
// refused when it leads to the file standard input reads.
void RefuseOverwritingStandardInput(const std::string& output, const std::string& what);

// Throws TUsageError when standard output, where the report goes without an
// --output, is the input file itself (`>> data.csv`).
void RefuseReportingInto(const std::string& input, const std::string& what);

}  // namespace rulecalc::cli
