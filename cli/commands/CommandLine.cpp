#include "commands/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "Failures.h"
#include "OutsideText.h"
#include "Version.h"
#include "commands/Commands.h"

namespace rulecalc::cli {

namespace {

constexpr const char* kDescription =
    "rulecalc: analyse and run sentences of the rule language, one at a time or a whole\n"
    "rules file against every row of a CSV file. Texts are converted between the\n"
    "terminal's encoding and the library's GBK.";

// Messages quote names and values from the files: control characters in
// them are shown, never sent to the terminal.
void Complain(const std::string& message) {
  try {
    TOutsideText texts;
    std::fprintf(stderr, "rulecalc: %s\n", texts.ShowingControls(message).c_str());
  } catch (...) {
    std::fputs("rulecalc: out of memory\n", stderr);  // not even the message could be shown
  }
}

// Flushes standard output; false (with a message) when what the command
// printed could not all be written.
bool StandardOutputWritten() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  if (errno == EPIPE) return false;
  Complain(std::string("cannot write to standard output: ") + std::strerror(errno));
  return false;
}

void BuildApp(CLI::App& app, SCommandContext& context) {
  app.set_version_flag("--version", std::string("rulecalc ") + kVersion, "Show the version and exit");
  app.add_option("--encoding", context.RequestedEncoding,
                 "Encoding of arguments and output, and of both batch input files (default: the locale's codeset, "
                 "UTF-8 under the C locale; batch input files are detected)");
  app.require_subcommand(1);
  app.fallthrough();
  app.footer("Example:\n  rulecalc eval 'IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;' AGE=20 SCORE=50\n"
             "Exit status: 0 true, 1 false (batch: a threshold crossed; test: an expectation did not hold),\n"
             "2 analysis or run-time error, 3 batch: no row evaluated (test: none expects anything),\n"
             "64 usage error, 71 out of memory, 74 the output could not be written.");
  AddEvalCommand(app, context);
  AddCheckCommand(app, context);
  AddListingCommands(app, context);
  AddBatchCommand(app, context);
  AddTestCommand(app, context);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  CLI::App app(kDescription, "rulecalc");
  SCommandContext context;
  BuildApp(app, context);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? esHeld : esUsageError;
  } catch (const TUsageError& error) {
    Complain(error.what());
    return esUsageError;
  } catch (const TClosedOutput&) {
    return esOutputError;
  } catch (const TOutputError& error) {
    Complain(error.what());
    return esOutputError;
  } catch (const TMemoryError& error) {
    Complain(error.what());
    return esOutOfMemory;
  } catch (const std::bad_alloc&) {
    std::fputs("rulecalc: out of memory\n", stderr);
    return esOutOfMemory;
  } catch (const std::exception& error) {
    Complain(error.what());
    return esRuleError;
  }
  return StandardOutputWritten() ? context.ExitStatus : esOutputError;
}

}  // namespace rulecalc::cli
