#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Codeset.h"
#include "OutsideText.h"
#include "commands/Commands.h"
#include "commands/Variables.h"

namespace rulecalc::cli {

namespace {

int RunCheck(const SSentenceArguments& arguments, const SCommandContext& context) {
  TOutsideText texts(OutsideEncoding(context.RequestedEncoding));
  const SArgumentsEvaluation result = EvaluateArguments(arguments, texts, EMHowFar::AnalyseOnly);
  const SSentenceOutcome& outcome = result.Outcome;
  if (outcome.Outcome == EMVerdict::Held) {
    std::puts("ok");
    for (const Warning& warning : outcome.Warnings) {
      std::fputs(texts.Warning(result.GbkSentence, warning).c_str(), stderr);
    }
    return esHeld;
  }
  std::fputs(texts.AnalysisError(result.GbkSentence, outcome.Text, outcome.StoppedAt).c_str(), stderr);
  return esRuleError;
}

}  // namespace

void AddCheckCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SSentenceArguments>();
  CLI::App* command = app.add_subcommand(
      "check", "Analyse one sentence without running it; on an error show where the analyser stopped");
  command->add_option("sentence", arguments->Sentence, "The sentence, ending with ';'")->required();
  command->add_option("variables", arguments->Assignments,
                      "NAME=VALUE as for eval: the analyser needs every variable and its type");
  command->footer(
      "Example:\n"
      "  rulecalc check 'IF AGE>=18 THEN SCORE;' AGE=20 SCORE=50\n"
      "  (prints the analyser's message, the sentence and a caret under the ';' where it stopped)\n"
      "A sentence that analyses but mixes types (a text compared with a number, arithmetic on a\n"
      "text) prints ok and, on standard error, a warning with a caret under the place.\n"
      "Exit status: 0 the sentence analyses, 2 it does not, 64 usage error, 74 output not written.");
  command->callback([arguments, &context] { context.ExitStatus = RunCheck(*arguments, context); });
}

}  // namespace rulecalc::cli
