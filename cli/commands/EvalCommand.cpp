#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Codeset.h"
#include "OutsideText.h"
#include "commands/BatchArguments.h"
#include "commands/Commands.h"
#include "commands/Variables.h"

namespace rulecalc::cli {

namespace {

// Notes follow the verdict on standard output; the analyser's warnings go to
// standard error with their carets, as check shows them.
void ShowNotes(const std::string& gbkSentence, const SSentenceOutcome& outcome, TOutsideText& texts) {
  for (const Note& note : outcome.Notes) std::fputs(texts.Note(gbkSentence, note).c_str(), stdout);
  std::fflush(stdout);
  for (const Warning& warning : outcome.Warnings) std::fputs(texts.Warning(gbkSentence, warning).c_str(), stderr);
}

// Prints the outcome the way the eval command shows it and returns the exit status.
int ShowOutcome(const std::string& gbkSentence, const SSentenceOutcome& outcome, TOutsideText& texts) {
  switch (outcome.Outcome) {
    case EMVerdict::Held:
      std::puts("true");
      ShowNotes(gbkSentence, outcome, texts);
      return esHeld;
    case EMVerdict::Failed:
      std::puts("false");
      if (!outcome.Text.empty()) {
        std::puts(texts.FromGbk(outcome.Text, RULECALC_TEXT_CONTROLS | RULECALC_TEXT_ONE_LINE).c_str());
      }
      ShowNotes(gbkSentence, outcome, texts);
      return esFailed;
    case EMVerdict::AnalysisError:
      std::fputs(("rulecalc: " + texts.AnalysisError(gbkSentence, outcome.Text, outcome.StoppedAt)).c_str(), stderr);
      return esRuleError;
    case EMVerdict::RunError:
      std::fprintf(stderr, "rulecalc: run-time error: %s\n", texts.FromGbk(outcome.Text, RULECALC_TEXT_CONTROLS).c_str());
      ShowNotes(gbkSentence, outcome, texts);
      return esRuleError;
  }
  return esRuleError;
}

int RunEval(const SSentenceArguments& arguments, const SCommandContext& context) {
  TOutsideText texts(OutsideEncoding(context.RequestedEncoding));
  const SArgumentsEvaluation result = EvaluateArguments(arguments, texts, EMHowFar::AnalyseAndRun);
  return ShowOutcome(result.GbkSentence, result.Outcome, texts);
}

}  // namespace

void AddEvalCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SSentenceArguments>();
  CLI::App* command = app.add_subcommand("eval", "Analyse and run one sentence; print true, or false and why");
  command->add_option("sentence", arguments->Sentence, "The sentence, ending with ';'")->required();
  command->add_option("variables", arguments->Assignments,
                      "NAME=VALUE: numeric when VALUE is empty or a number, else text; "
                      "NAME:num=VALUE and NAME:text=VALUE force the type");
  AddDateOptions(*command, arguments->DateOrder, arguments->DateSeparator);
  AddLanguageOption(*command, arguments->Language, "classic");
  command->footer(
      "Example:\n"
      "  rulecalc eval 'IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;' AGE=20 SCORE=50\n"
      "  (prints false, then the explanation: the failed THEN branch and its variable SCORE)\n"
      "Where a built-in, a division or a numeric variable fell back (TODATE of a text that is no date,\n"
      "a division by zero, ...), a note follows with a caret under the call; where the sentence mixes\n"
      "types (a text compared with a number, arithmetic on a text), a warning goes to standard error.\n"
      "Exit status: 0 true, 1 false, 2 analysis or run-time error, 64 usage error, 74 output not written.\n"
      "A sentence that starts with '-' goes after '--'.");
  command->callback([arguments, &context] { context.ExitStatus = RunEval(*arguments, context); });
}

}  // namespace rulecalc::cli
