#include <memory>
#include <string>

#include "batch/BatchRun.h"
#include "commands/Commands.h"
#include "Codeset.h"

namespace rulecalc::cli {

namespace {

// The batch options as written, before names are settled.
struct SBatchArguments {
  SBatchOptions Options;
  std::string FormatName = "text";
  std::string NullValues;
};

EMReportFormat FormatNamed(const std::string& name) {
  if (name == "csv") return EMReportFormat::Csv;
  if (name == "jsonl") return EMReportFormat::JsonLines;
  if (name == "html") return EMReportFormat::Html;
  return EMReportFormat::Text;
}

std::vector<std::string> SplitAtCommas(const std::string& list) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

void AddInputOptions(CLI::App& command, SBatchOptions& options) {
  command.add_option("--rules", options.RulesPath,
                     "Rules file: 'id: sentence;' (a sentence may span lines up to its ';'), "
                     "'id \"description\": sentence;', '#' starts a comment outside texts")
      ->required();
  command.add_option("--data", options.DataPath,
                     "CSV file (RFC 4180), '-' for standard input; the header names the variables, 'name:num', "
                     "'name:text', 'name:date' or 'name:date(yyyy-mm-dd)' fix a column's type, else it is inferred "
                     "from the whole column")
      ->required();
  command.add_option("--data-encoding", options.DataEncoding, "Encoding of the data file (default: detected)");
  command.add_option("--rules-encoding", options.RulesEncoding, "Encoding of the rules file (default: detected)");
  command.add_option("--date-order", options.DateOrder, "Order TODATE reads dates in (default: the rules file's, else the locale's)")
      ->check(CLI::IsMember({"ymd", "mdy", "dmy"}));
  command.add_option("--date-separator", options.DateSeparator, "Separator TODATE reads dates with")
      ->check([](const std::string& value) { return value.size() == 1 ? std::string() : "one character"; });
}

void AddReportOptions(CLI::App& command, SBatchArguments& arguments) {
  SBatchOptions& options = arguments.Options;
  command.add_option("--format", arguments.FormatName, "Report format: text (default), csv, jsonl or html")
      ->check(CLI::IsMember({"text", "csv", "jsonl", "html"}));
  command.add_option("--output", options.OutputPath,
                     "Write the report to this file (replaced only once the report is complete)");
  command.add_flag("--all", options.All, "text and html: every verdict, not only those that need attention");
  command.add_flag("--failed-only", options.FailedOnly, "Leave out the true verdicts (the text default)");
  command.add_option("--key", options.KeyColumn, "Name each record by this column in every format");
  command.add_flag("--show-values", options.ShowValues, "Add the failing clause's variables with their values");
  command.add_option("--null-values", arguments.NullValues,
                     "Comma-separated texts that mean an empty value, e.g. 'N/A,-' (the empty text always does)");
  command.add_flag("--bom", options.Bom, "Start a CSV report with a UTF-8 byte-order mark");
  command.add_flag("--raw-cells", options.RawCells,
                   "CSV: write cells that start with =, +, -, @, a tab or a carriage return as they are, "
                   "not behind a ' that keeps spreadsheets from running them as formulas");
  command.add_option("--jobs", options.Jobs, "Worker threads at most, started as rows wait for them, each with calculators of its own")
      ->check(CLI::Range(1, 256));
  command.add_flag("--fresh-calculators", options.FreshCalculators)->group("");
}

}  // namespace

void AddBatchCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SBatchArguments>();
  CLI::App* command = app.add_subcommand("batch", "Evaluate every rule of a rules file against every row of a CSV file");
  AddInputOptions(*command, arguments->Options);
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
    SBatchOptions& options = arguments->Options;
    options.Format = FormatNamed(arguments->FormatName);
    if (!arguments->NullValues.empty()) options.NullValues = SplitAtCommas(arguments->NullValues);
    if (options.DataEncoding.empty()) options.DataEncoding = context.RequestedEncoding;
    if (options.RulesEncoding.empty()) options.RulesEncoding = context.RequestedEncoding;
    options.OutputEncoding = OutsideEncoding(context.RequestedEncoding);
    context.ExitStatus = RunBatch(options);
  });
}

}  // namespace rulecalc::cli
