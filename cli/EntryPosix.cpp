// rulecalc: the command-line tool over the rule calculator library.

#include <csignal>

#include "Codeset.h"
#include "commands/CommandLine.h"

int main(int argc, char** argv) {
  // A closed pipe or socket makes a write fail (EPIPE), which ends the tool
  // with the output status, instead of killing it with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  rulecalc::cli::AdoptUserLocale();
  return rulecalc::cli::RunCommandLine(argc, argv);
}
