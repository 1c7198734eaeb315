#include <memory>
#include <string>

#include "batch/BatchRun.h"
#include "commands/Commands.h"
#include "text/Codeset.h"

namespace rulecalc::cli {

namespace {

// The batch options as written, before the format name is settled.
struct SBatchArguments {
  SBatchOptions Options;
  std::string FormatName = "text";
};

EMReportFormat FormatNamed(const std::string& name) {
  if (name == "csv") return EMReportFormat::Csv;
  if (name == "jsonl") return EMReportFormat::JsonLines;
  return EMReportFormat::Text;
}

}  // namespace

void AddBatchCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SBatchArguments>();
  SBatchOptions* options = &arguments->Options;
  CLI::App* command = app.add_subcommand("batch", "Evaluate every rule of a rules file against every row of a CSV file");
  command->add_option("--rules", options->RulesPath, "Rules file: one 'id: sentence' per line, '#' starts a comment")
      ->required();
  command->add_option("--data", options->DataPath,
                      "CSV file (RFC 4180); the header names the variables, 'name:num' or 'name:text' fixes a "
                      "column's type, else it is inferred from the whole column")
      ->required();
  command->add_option("--jobs", options->Jobs, "Worker threads, each with its own calculator")
      ->check(CLI::Range(1, 256));
  command->add_option("--format", arguments->FormatName, "Report format: text (default), csv or jsonl")
      ->check(CLI::IsMember({"text", "csv", "jsonl"}));
  command->add_option("--output", options->OutputPath, "Write the report to this file instead of standard output");
  command->add_flag("--failed-only", options->FailedOnly, "Report only verdicts that are not true");
  command->footer(
      "Example:\n"
      "  rulecalc batch --rules examples/applicants.rules --data examples/applicants.csv --jobs 2\n"
      "Per row and rule: row number, rule id, result (true, false or error) and explanation; then a\n"
      "summary per rule (held, failed, errors). Malformed rows are reported on standard error with\n"
      "their line and skipped. Exit status: 0 when every rule analysed and ran, 2 when a rule did not\n"
      "analyse or a run stopped with an error, 64 usage error or unusable file.");
  command->callback([arguments, &context] {
    arguments->Options.Format = FormatNamed(arguments->FormatName);
    context.ExitStatus = RunBatch(arguments->Options, OutsideEncoding(context.RequestedEncoding));
  });
}

}  // namespace rulecalc::cli
