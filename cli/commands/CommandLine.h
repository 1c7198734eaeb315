#pragma once

namespace rulecalc::cli {

// Parses the arguments, runs the chosen command and returns the exit status.
// Usage mistakes and unconvertible input end with the usage status and a
// message on standard error.
int RunCommandLine(int argc, char** argv);

}  // namespace rulecalc::cli
