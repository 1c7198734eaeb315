#include <memory>
#include <string>
#include <vector>

#include "BatchFrontEnd.h"
#include "Codeset.h"
#include "commands/BatchArguments.h"
#include "commands/Commands.h"

namespace rulecalc::cli {

namespace {

struct STestArguments {
  SInputArguments Input;
  std::vector<std::string> TestsPaths;
  std::string KeyColumn;
  std::string JUnitPath;
};

// "examples/applicants.rules" -> "examples/applicants.tests.csv".
std::string TestsBeside(const std::string& rulesPath) {
  const std::string extension = ".rules";
  const bool hasExtension =
      rulesPath.size() > extension.size() && rulesPath.compare(rulesPath.size() - extension.size(), extension.size(), extension) == 0;
  return (hasExtension ? rulesPath.substr(0, rulesPath.size() - extension.size()) : rulesPath) + ".tests.csv";
}

STestRequest RequestOf(const STestArguments& arguments, const std::string& requestedEncoding) {
  STestRequest request;
  request.RulesPath = arguments.Input.RulesPath;
  request.TestsPaths = arguments.TestsPaths;
  if (request.TestsPaths.empty()) request.TestsPaths.push_back(TestsBeside(request.RulesPath));
  request.JUnitPath = arguments.JUnitPath;
  request.OutputEncoding = OutsideEncoding(requestedEncoding);
  request.EngineOptions = InputEngineOptions(arguments.Input, requestedEncoding);
  request.EngineOptions.emplace_back("key", arguments.KeyColumn);
  return request;
}

}  // namespace

void AddTestCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<STestArguments>();
  CLI::App* command = app.add_subcommand("test", "Run the examples written beside the rules: each row's expected verdicts and explanations");
  command->add_option("--rules", arguments->Input.RulesPath, "Rules file, as for batch")->required();
  command->add_option("tests", arguments->TestsPaths,
                      "Tests files (default: RULES.tests.csv beside the rules): CSV whose columns are the variables, "
                      "typed as for batch, plus 'expect:RULE' (true, false or error; empty: not checked) and "
                      "'explain:RULE' (a text the explanation must contain)");
  AddReadingOptions(*command, arguments->Input);
  command->add_option("--key", arguments->KeyColumn, "Name each row by this column in what is printed");
  command->add_option("--junit", arguments->JUnitPath,
                      "Also write JUnit XML to this file for CI servers (replaced only once complete)");
  command->footer(
      "Example:\n"
      "  rulecalc test --rules examples/applicants.rules --key ID\n"
      "Prints each expectation that does not hold (line, row, key, rule, expected, got, explanation),\n"
      "then per tests file how many held; the findings on the rules go to standard error.\n"
      "Exit status: 0 every expectation held, 1 one did not, 2 a rule did not analyse or names a\n"
      "variable no column has, 3 no row expects anything, 64 usage error or unusable file (an\n"
      "expect: column naming no rule, a verdict other than true, false, error), 71 out of memory,\n"
      "74 the JUnit XML could not be written.");
  command->callback([arguments, &context] {
    context.ExitStatus = RunTestRequest(RequestOf(*arguments, context.RequestedEncoding));
  });
}

}  // namespace rulecalc::cli
