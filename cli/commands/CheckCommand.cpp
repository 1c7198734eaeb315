#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "calc/Evaluation.h"
#include "calc/AnalysisReport.h"
#include "commands/Commands.h"
#include "commands/Variables.h"
#include "text/Codeset.h"

namespace rulecalc::cli {

namespace {

struct SCheckArguments {
  std::string Sentence;
  std::vector<std::string> Assignments;
};

int RunCheck(const SCheckArguments& arguments, const SCommandContext& context) {
  TTextCodec codec(OutsideEncoding(context.RequestedEncoding));
  const std::string gbkSentence = codec.ToGbk(arguments.Sentence, "the sentence");
  TRuleCalc calc;
  const std::vector<SVariable> variables =
      VariablesFromArguments(arguments.Assignments, codec, calc.Environment.Settings.DecimalSeparator);
  const SEvaluation evaluation = Evaluate(calc, gbkSentence, variables, EMStep::AnalyseOnly);
  if (evaluation.Outcome == EMOutcome::Held) {
    std::puts("ok");
    return esHeld;
  }
  std::fputs(DescribeAnalysisError(gbkSentence, evaluation, codec).c_str(), stderr);
  return esRuleError;
}

}  // namespace

void AddCheckCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SCheckArguments>();
  CLI::App* command = app.add_subcommand(
      "check", "Analyse one sentence without running it; on an error show where the analyser stopped");
  command->add_option("sentence", arguments->Sentence, "The sentence, ending with ';'")->required();
  command->add_option("variables", arguments->Assignments,
                      "NAME=VALUE as for eval: the analyser needs every variable and its type");
  command->footer(
      "Example:\n"
      "  rulecalc check 'IF AGE>=18 THEN SCORE;' AGE=20 SCORE=50\n"
      "  (prints the analyser's message, the sentence and a caret under the ';' where it stopped)\n"
      "Exit status: 0 the sentence analyses, 2 it does not, 64 usage error.");
  command->callback([arguments, &context] { context.ExitStatus = RunCheck(*arguments, context); });
}

}  // namespace rulecalc::cli
