#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BatchFrontEnd.h"
#include "Failures.h"
#include "commands/BatchArguments.h"
#include "commands/Commands.h"

namespace rulecalc::cli {

namespace {

// The batch options as written: CLI11 checks them, the engine takes them by name.
struct SBatchArguments {
  SInputArguments Input;
  SBatchRequest Request;
  std::string FormatName = "text";
  bool All = false;
  bool FailedOnly = false;
  std::string KeyColumn;
  bool ShowValues = false;
  bool Bom = false;
  bool RawCells = false;
  bool FreshCalculators = false;
  std::string FailOn;
  std::vector<std::string> MaxFailed;
};

void AddReportOptions(CLI::App& command, SBatchArguments& arguments) {
  SBatchRequest& options = arguments.Request;
  command.add_option("--format", arguments.FormatName, "Report format: text (default), csv, jsonl, html or xlsx (a workbook, which needs --output)")
      ->check(CLI::IsMember({"text", "csv", "jsonl", "html", "xlsx"}));
  command.add_option("--output", options.OutputPath,
                     "Write the report to this file (replaced only once the report is complete)");
  command.add_flag("--all", arguments.All, "text and html: every verdict, not only those that need attention");
  command.add_flag("--failed-only", arguments.FailedOnly, "Leave out the true verdicts (the text default)");
  command.add_option("--key", arguments.KeyColumn, "Name each record by this column in every format");
  command.add_flag("--show-values", arguments.ShowValues, "Add the failing clause's variables with their values, and where the run fell back");
  command.add_flag("--bom", arguments.Bom, "Start a CSV report with a UTF-8 byte-order mark");
  command.add_flag("--raw-cells", arguments.RawCells,
                   "CSV: write cells that start with =, +, -, @, a tab or a carriage return as they are, "
                   "not behind a ' that keeps spreadsheets from running them as formulas");
  command.add_option("--failed-rows", options.FailedRowsPath,
                     "Also write the records that need attention, as read, with failed_rules and failed_explanations "
                     "appended (failed_key first with --key), to this file (replaced only once complete)");
  command.add_option("--notes", options.NotesPath,
                     "Also write the problems found before the first row (the rules' warnings, the columns' types) "
                     "and where the rules' runs fell back, as CSV, to this file (replaced only once complete)");
  command.add_option("--jobs", options.Jobs, "Worker threads at most, started as rows wait for them, each with calculators of its own")
      ->check(CLI::Range(1, 256));
  command.add_flag("--fresh-calculators", arguments.FreshCalculators)->group("");
}

void AddThresholdOptions(CLI::App& command, SBatchArguments& arguments) {
  command.add_option("--fail-on", arguments.FailOn,
                     "Exit with status 1 when a verdict was an error (error) or false (failed); the summary says so")
      ->check(CLI::IsMember({"error", "failed"}));
  command.add_option("--max-failed", arguments.MaxFailed,
                     "RULE=N or RULE=P%: exit with status 1 when the rule failed more than N of its rows, or more "
                     "than P% of them (repeatable; over a '@max-failed RULE N|P%' line of the rules file)");
}

const char* FlagText(bool flag) { return flag ? "1" : "0"; }

// The engine's options: those of the input, then those of the report.
std::vector<std::pair<std::string, std::string>> EngineOptions(const SBatchArguments& arguments,
                                                               const std::string& requestedEncoding) {
  std::vector<std::pair<std::string, std::string>> options = InputEngineOptions(arguments.Input, requestedEncoding);
  options.insert(options.end(), {
                                    {"format", arguments.FormatName},
                                    {"all", FlagText(arguments.All)},
                                    {"failed-only", FlagText(arguments.FailedOnly)},
                                    {"key", arguments.KeyColumn},
                                    {"show-values", FlagText(arguments.ShowValues)},
                                    {"bom", FlagText(arguments.Bom)},
                                    {"raw-cells", FlagText(arguments.RawCells)},
                                    {"fresh-calculators", FlagText(arguments.FreshCalculators)},
                                    {"fail-on", arguments.FailOn},
                                    {"failed-rows", FlagText(!arguments.Request.FailedRowsPath.empty())},
                                });
  for (const std::string& limit : arguments.MaxFailed) options.emplace_back("max-failed", limit);
  return options;
}

}  // namespace

void AddBatchCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SBatchArguments>();
  CLI::App* command = app.add_subcommand("batch", "Evaluate every rule of a rules file against every row of a CSV file");
  AddInputOptions(*command, arguments->Input, true);
  AddReportOptions(*command, *arguments);
  AddThresholdOptions(*command, *arguments);
  command->footer(
      "Example:\n"
      "  rulecalc batch --rules examples/applicants.rules --data examples/applicants.csv --key ID\n"
      "  rulecalc batch --rules examples/applicants.rules --data examples/applicants.csv --max-failed 'income=1%'\n"
      "Text report: the verdicts that were not true (row, key, rule, result, explanation), then a\n"
      "summary by failures with the most common explanations and the thresholds. Malformed rows\n"
      "are reported on standard error with their line and skipped. Exit status: 0 every rule\n"
      "analysed and no verdict was an error, 1 a threshold was crossed (--fail-on, --max-failed,\n"
      "@max-failed), 2 a rule did not analyse, a verdict was an error or a rule names a variable no\n"
      "column has (nothing evaluated), 3 no row was evaluated, 64 usage error or unusable file,\n"
      "71 out of memory, 74 the report could not be written; 3 wins over 2, and 2 over 1.");
  command->callback([arguments, &context] {
    if (arguments->FormatName == "xlsx" && arguments->Request.OutputPath.empty() && isatty(STDOUT_FILENO)) {
      throw TUsageError("--format xlsx writes a workbook, not text for a terminal: give --output FILE.xlsx");
    }
    arguments->Request.RulesPath = arguments->Input.RulesPath;
    arguments->Request.DataPath = arguments->Input.DataPath;
    arguments->Request.EngineOptions = EngineOptions(*arguments, context.RequestedEncoding);
    context.ExitStatus = RunBatchRequest(arguments->Request);
  });
}

}  // namespace rulecalc::cli
