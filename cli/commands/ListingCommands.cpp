#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Codeset.h"
#include "OutsideText.h"
#include "commands/BatchArguments.h"
#include "commands/Commands.h"
#include "rulecalc.hpp"

namespace rulecalc::cli {

namespace {

// The three listings the library makes of a sentence.
enum class EMListing { Tokens, Numbers, Varnames };

struct SListingArguments {
  std::string Sentence;
  bool Raw = false;
  std::string Language;
};

std::string ListingOf(Calculator& calc, EMListing listing) {
  switch (listing) {
    case EMListing::Tokens:
      return calc.tokens();
    case EMListing::Numbers:
      return calc.numbers();
    case EMListing::Varnames:
      return calc.varnames();
  }
  return {};
}

std::vector<std::string> ItemsOf(Calculator& calc, EMListing listing) {
  switch (listing) {
    case EMListing::Tokens:
      return calc.token_items();
    case EMListing::Numbers:
      return calc.number_items();
    case EMListing::Varnames:
      return calc.varname_items();
  }
  return {};
}

// Prints the listing of the sentence, whole or one item per line.
void PrintListing(Calculator& calc, EMListing kind, bool raw, TOutsideText& texts) {
  if (raw) {
    std::puts(texts.FromGbk(ListingOf(calc, kind), RULECALC_TEXT_CONTROLS).c_str());
    return;
  }
  for (const std::string& item : ItemsOf(calc, kind)) std::puts(texts.FromGbk(item, RULECALC_TEXT_BYTES).c_str());
}

int RunListing(EMListing kind, const SListingArguments& arguments, const SCommandContext& context) {
  TOutsideText texts(OutsideEncoding(context.RequestedEncoding));
  Calculator calc;
  calc.set_language(LanguageNamed(arguments.Language));
  calc.set_sentence(texts.ToGbk(arguments.Sentence, "the sentence"));
  PrintListing(calc, kind, arguments.Raw, texts);
  if (calc.memory_ran_out()) throw std::bad_alloc();
  return esHeld;
}

void AddListing(CLI::App& app, SCommandContext& context, EMListing kind, const char* name, const char* help,
                const char* example) {
  auto arguments = std::make_shared<SListingArguments>();
  CLI::App* command = app.add_subcommand(name, help);
  command->add_option("sentence", arguments->Sentence, "The sentence")->required();
  command->add_flag("--raw", arguments->Raw, "Print the library's ';'-separated listing as it is");
  AddLanguageOption(*command, arguments->Language, "classic");
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
