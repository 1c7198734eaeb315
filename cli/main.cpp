// rulecalc: the command-line tool over the rule calculator library.

#include "commands/CommandLine.h"
#include "text/Codeset.h"

int main(int argc, char** argv) {
  rulecalc::cli::AdoptUserLocale();
  return rulecalc::cli::RunCommandLine(argc, argv);
}
