#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "batch/calc/ListingItems.h"
#include "commands/Commands.h"
#include "batch/text/Codeset.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::cli {

namespace {

// The three listings the library makes of a sentence.
enum class EMListing { Tokens, Numbers, Varnames };

struct SListingArguments {
  std::string Sentence;
  bool Raw = false;
};

std::string ListingOf(TRuleCalc& calc, EMListing listing) {
  switch (listing) {
    case EMListing::Tokens:
      return calc.GetTokens();
    case EMListing::Numbers:
      return calc.GetNumbers();
    case EMListing::Varnames:
      return calc.GetVarnames();
  }
  return {};
}

std::vector<std::string> ItemsOf(const std::string& listing, EMListing kind) {
  return kind == EMListing::Varnames ? SplitJoinedListing(listing) : SplitTerminatedListing(listing);
}

int RunListing(EMListing kind, const SListingArguments& arguments, const SCommandContext& context) {
  TTextCodec codec(OutsideEncoding(context.RequestedEncoding));
  TRuleCalc calc;
  calc.SetSentence(codec.ToGbk(arguments.Sentence, "the sentence").c_str());
  const std::string listing = ListingOf(calc, kind);
  if (arguments.Raw) {
    std::puts(codec.FromGbkShowingControls(listing).c_str());
    return esHeld;
  }
  for (const std::string& item : ItemsOf(listing, kind)) std::puts(codec.FromGbkShowingBytes(item).c_str());
  return esHeld;
}

void AddListing(CLI::App& app, SCommandContext& context, EMListing kind, const char* name, const char* help,
                const char* example) {
  auto arguments = std::make_shared<SListingArguments>();
  CLI::App* command = app.add_subcommand(name, help);
  command->add_option("sentence", arguments->Sentence, "The sentence")->required();
  command->add_flag("--raw", arguments->Raw, "Print the library's ';'-separated listing as it is");
  command->footer(std::string("Example:\n  ") + example);
  command->callback([kind, arguments, &context] { context.ExitStatus = RunListing(kind, *arguments, context); });
}

}  // namespace

void AddListingCommands(CLI::App& app, SCommandContext& context) {
  AddListing(app, context, EMListing::Tokens, "tokens", "List the sentence's tokens, one per line",
             "rulecalc tokens 'IF x >= 10 THEN y = 2.5;'");
  AddListing(app, context, EMListing::Numbers, "numbers", "List the sentence's number literals, one per line",
             "rulecalc numbers 'IF x >= 10 THEN y = 2.5 ELSE y = 0;'   (prints 10, 2.5 and 0)");
  AddListing(app, context, EMListing::Varnames, "varnames",
             "List the sentence's distinct variable names, one per line",
             "rulecalc varnames 'a + A + b1 + B1 > 0;'   (prints a and b1)");
}

}  // namespace rulecalc::cli
