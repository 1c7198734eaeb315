#include "io/SameFile.h"

#include <cstdio>

#include "Failures.h"

namespace rulecalc::cli {

void RefuseOverwriting(const std::string& output, const std::string& input, const std::string& what) {
  if (output.empty() || !SameFile(output, input)) return;
  throw TUsageError("the output '" + output + "' is " + what + " '" + input +
                    "' (the same file); choose another output, nothing was written");
}

void RefuseOverwritingStandardInput(const std::string& output, const std::string& what) {
  if (output.empty() || !SameFileAsDescriptor(output, fileno(stdin))) return;
  throw TUsageError("the output '" + output + "' is the file standard input reads, " + what +
                    " ('-'); choose another output, nothing was written");
}

void RefuseReportingInto(const std::string& input, const std::string& what) {
  if (!SameFileAsDescriptor(input, fileno(stdout))) return;
  throw TUsageError("standard output is " + what + " '" + input +
                    "' (the same file); the report would be written into it: redirect it elsewhere or use --output");
}

}  // namespace rulecalc::cli
