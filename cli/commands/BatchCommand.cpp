#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BatchFrontEnd.h"
#include "commands/Commands.h"
#include "Codeset.h"

namespace rulecalc::cli {

namespace {

// The batch options as written: CLI11 checks them, the engine takes them by name.
struct SBatchArguments {
  SBatchRequest Request;
  std::string FormatName = "text";
  bool All = false;
  bool FailedOnly = false;
  std::string KeyColumn;
  bool ShowValues = false;
  std::string NullValues;
  std::string DataEncoding;
  std::string RulesEncoding;
  bool Bom = false;
  bool RawCells = false;
  std::string DateOrder;
  std::string DateSeparator;
  bool FreshCalculators = false;
};

void AddInputOptions(CLI::App& command, SBatchArguments& arguments) {
  SBatchRequest& options = arguments.Request;
  command.add_option("--rules", options.RulesPath,
                     "Rules file: 'id: sentence;' (a sentence may span lines up to its ';'), "
                     "'id \"description\": sentence;', '#' starts a comment outside texts")
      ->required();
  command.add_option("--data", options.DataPath,
                     "CSV file (RFC 4180), '-' for standard input; the header names the variables, 'name:num', "
                     "'name:text', 'name:date' or 'name:date(yyyy-mm-dd)' fix a column's type, else it is inferred "
                     "from the whole column")
      ->required();
  command.add_option("--data-encoding", arguments.DataEncoding, "Encoding of the data file (default: detected)");
  command.add_option("--rules-encoding", arguments.RulesEncoding, "Encoding of the rules file (default: detected)");
  command.add_option("--date-order", arguments.DateOrder, "Order TODATE reads dates in (default: the rules file's, else the locale's)")
      ->check(CLI::IsMember({"ymd", "mdy", "dmy"}));
  command.add_option("--date-separator", arguments.DateSeparator, "Separator TODATE reads dates with")
      ->check([](const std::string& value) { return value.size() == 1 ? std::string() : "one character"; });
}

void AddReportOptions(CLI::App& command, SBatchArguments& arguments) {
  SBatchRequest& options = arguments.Request;
  command.add_option("--format", arguments.FormatName, "Report format: text (default), csv, jsonl or html")
      ->check(CLI::IsMember({"text", "csv", "jsonl", "html"}));
  command.add_option("--output", options.OutputPath,
                     "Write the report to this file (replaced only once the report is complete)");
  command.add_flag("--all", arguments.All, "text and html: every verdict, not only those that need attention");
  command.add_flag("--failed-only", arguments.FailedOnly, "Leave out the true verdicts (the text default)");
  command.add_option("--key", arguments.KeyColumn, "Name each record by this column in every format");
  command.add_flag("--show-values", arguments.ShowValues, "Add the failing clause's variables with their values");
  command.add_option("--null-values", arguments.NullValues,
                     "Comma-separated texts that mean an empty value, e.g. 'N/A,-' (the empty text always does)");
  command.add_flag("--bom", arguments.Bom, "Start a CSV report with a UTF-8 byte-order mark");
  command.add_flag("--raw-cells", arguments.RawCells,
                   "CSV: write cells that start with =, +, -, @, a tab or a carriage return as they are, "
                   "not behind a ' that keeps spreadsheets from running them as formulas");
  command.add_option("--jobs", options.Jobs, "Worker threads at most, started as rows wait for them, each with calculators of its own")
      ->check(CLI::Range(1, 256));
  command.add_flag("--fresh-calculators", arguments.FreshCalculators)->group("");
}

const char* FlagText(bool flag) { return flag ? "1" : "0"; }

// The engine's options, the output encoding first (the one every message is in).
std::vector<std::pair<std::string, std::string>> EngineOptions(const SBatchArguments& arguments,
                                                               const std::string& requestedEncoding) {
  return {
      {"output-encoding", OutsideEncoding(requestedEncoding)},
      {"format", arguments.FormatName},
      {"all", FlagText(arguments.All)},
      {"failed-only", FlagText(arguments.FailedOnly)},
      {"key", arguments.KeyColumn},
      {"show-values", FlagText(arguments.ShowValues)},
      {"null-values", arguments.NullValues},
      {"bom", FlagText(arguments.Bom)},
      {"raw-cells", FlagText(arguments.RawCells)},
      {"data-encoding", arguments.DataEncoding.empty() ? requestedEncoding : arguments.DataEncoding},
      {"rules-encoding", arguments.RulesEncoding.empty() ? requestedEncoding : arguments.RulesEncoding},
      {"date-order", arguments.DateOrder},
      {"date-separator", arguments.DateSeparator},
      {"fresh-calculators", FlagText(arguments.FreshCalculators)},
  };
}

}  // namespace

void AddBatchCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SBatchArguments>();
  CLI::App* command = app.add_subcommand("batch", "Evaluate every rule of a rules file against every row of a CSV file");
  AddInputOptions(*command, *arguments);
  AddReportOptions(*command, *arguments);
  command->footer(
      "Example:\n"
      "  rulecalc batch --rules examples/applicants.rules --data examples/applicants.csv --key ID\n"
      "Text report: the verdicts that were not true (row, key, rule, result, explanation), then a\n"
      "summary by failures with the most common explanations. Malformed rows are reported on\n"
      "standard error with their line and skipped. Exit status: 0 every rule analysed and no\n"
      "verdict was an error, 2 a rule did not analyse or a verdict was an error, 3 no row was\n"
      "evaluated, 64 usage error or unusable file, 71 out of memory, 74 the report could not be\n"
      "written.");
  command->callback([arguments, &context] {
    arguments->Request.EngineOptions = EngineOptions(*arguments, context.RequestedEncoding);
    context.ExitStatus = RunBatchRequest(arguments->Request);
  });
}

}  // namespace rulecalc::cli
