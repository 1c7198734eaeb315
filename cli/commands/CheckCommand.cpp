#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BatchFrontEnd.h"
#include "Codeset.h"
#include "Failures.h"
#include "OutsideText.h"
#include "commands/BatchArguments.h"
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
    for (const Note& note : outcome.Notes) std::fputs(texts.Note(result.GbkSentence, note).c_str(), stderr);
    return esHeld;
  }
  std::fputs(texts.AnalysisError(result.GbkSentence, outcome.Text, outcome.StoppedAt).c_str(), stderr);
  return esRuleError;
}

// The two forms of check: a sentence with its variables, or a rules file
// against a data file's columns.
struct SCheckArguments {
  SSentenceArguments Sentence;
  SInputArguments Input;
  const CLI::Option* SentenceGiven = nullptr;
  const CLI::Option* RulesGiven = nullptr;
  const CLI::Option* DataGiven = nullptr;
};

int RunRulesCheck(const SInputArguments& input, const SCommandContext& context) {
  SBatchRequest request;
  request.RulesPath = input.RulesPath;
  request.DataPath = input.DataPath;
  request.EngineOptions = InputEngineOptions(input, context.RequestedEncoding);
  return RunCheckRequest(request);
}

int RunEitherCheck(const SCheckArguments& arguments, const SCommandContext& context) {
  const bool rules = arguments.RulesGiven->count() > 0;
  const bool data = arguments.DataGiven->count() > 0;
  const bool sentence = arguments.SentenceGiven->count() > 0;
  if (rules != data) throw TUsageError("check: --rules and --data go together");
  if (rules && sentence) throw TUsageError("check: a sentence, or --rules and --data, not both");
  if (!rules && !sentence) throw TUsageError("check: a sentence, or --rules and --data, is needed");
  if (rules) return RunRulesCheck(arguments.Input, context);
  SSentenceArguments withDates = arguments.Sentence;
  withDates.DateOrder = arguments.Input.DateOrder;
  withDates.DateSeparator = arguments.Input.DateSeparator;
  withDates.Language = arguments.Input.Language;
  return RunCheck(withDates, context);
}

}  // namespace

void AddCheckCommand(CLI::App& app, SCommandContext& context) {
  auto arguments = std::make_shared<SCheckArguments>();
  CLI::App* command = app.add_subcommand(
      "check",
      "Analyse one sentence (run only for its notes), or every rule of a rules file against the columns of a data file "
      "without evaluating a row; on an error show where the analyser stopped");
  arguments->SentenceGiven = command->add_option("sentence", arguments->Sentence.Sentence, "The sentence, ending with ';'");
  command->add_option("variables", arguments->Sentence.Assignments,
                      "NAME=VALUE as for eval: the analyser needs every variable and its type");
  AddInputOptions(*command, arguments->Input, false);
  arguments->RulesGiven = command->get_option("--rules");
  arguments->DataGiven = command->get_option("--data");
  command->footer(
      "Example:\n"
      "  rulecalc check 'IF AGE>=18 THEN SCORE;' AGE=20 SCORE=50\n"
      "  (prints the analyser's message, the sentence and a caret under the ';' where it stopped)\n"
      "  rulecalc check --rules examples/applicants.rules --data examples/applicants.csv\n"
      "  (the column types as batch settles them, every rule analysed against them)\n"
      "A sentence that analyses but mixes types (a text compared with a number, arithmetic on a\n"
      "text) prints ok and, on standard error, a warning with a caret under the place. The sentence\n"
      "is run once with the values given, for its notes alone: where a built-in, a division or a\n"
      "numeric variable would fall back, standard error has a note with a caret under the call. With\n"
      "--rules and --data, standard error has what batch would say before its first row (warnings,\n"
      "rules that do not analyse, variables no column has with the nearest column's name) and the\n"
      "columns no rule uses; ok is printed when every rule can run.\n"
      "Exit status: 0 the sentence analyses (every rule can run on the data), 2 it does not (a rule\n"
      "cannot), 64 usage error or unusable file, 71 out of memory, 74 output not written.");
  command->callback([arguments, &context] { context.ExitStatus = RunEitherCheck(*arguments, context); });
}

}  // namespace rulecalc::cli
