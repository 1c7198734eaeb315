#include "commands/BatchArguments.h"

#include "Codeset.h"

namespace rulecalc::cli {

void AddInputOptions(CLI::App& command, SInputArguments& arguments, bool required) {
  CLI::Option* rules = command.add_option("--rules", arguments.RulesPath,
                                          "Rules file: 'id: sentence;' (a sentence may span lines up to its ';'), "
                                          "'id \"description\": sentence;', '#' starts a comment outside texts");
  CLI::Option* data = command.add_option(
      "--data", arguments.DataPath,
      "CSV file (RFC 4180) or workbook (.xlsx), '-' for standard input; the header names the variables ('data=NAME' names one for the rules), 'name:num', "
      "'name:text', 'name:date' or 'name:date(yyyy-mm-dd)' fix a column's type, else it is inferred "
      "from the whole column");
  rules->required(required);
  data->required(required);
  AddReadingOptions(command, arguments);
  command.add_option("--sheet", arguments.Sheet,
                     "Sheet of a workbook data file to read, by its name "
                     "(default: the rules file's '@sheet NAME', else the first sheet)");
}

void AddDateOptions(CLI::App& command, std::string& order, std::string& separator) {
  command.add_option("--date-order", order, "Order TODATE reads dates in (default: the rules file's, else the locale's)")
      ->check(CLI::IsMember({"ymd", "mdy", "dmy"}));
  command.add_option("--date-separator", separator, "Separator TODATE reads dates with")
      ->check([](const std::string& value) { return value.size() == 1 ? std::string() : "one character"; });
}

void AddLanguageOption(CLI::App& command, std::string& language, const char* fallback) {
  command.add_option("--language", language, std::string("Rule language to read the sentences in (default: ") + fallback + ")")
      ->check(CLI::IsMember({"classic", "extended"}));
}

Language LanguageNamed(const std::string& name) { return name == "extended" ? Language::Extended : Language::Classic; }

void AddReadingOptions(CLI::App& command, SInputArguments& arguments) {
  AddLanguageOption(command, arguments.Language, "the rules file's '@language', else classic");
  command.add_option("--data-encoding", arguments.DataEncoding, "Encoding of the data file (default: detected)");
  command.add_option("--rules-encoding", arguments.RulesEncoding, "Encoding of the rules file (default: detected)");
  AddDateOptions(command, arguments.DateOrder, arguments.DateSeparator);
  command.add_option("--null-values", arguments.NullValues,
                     "Comma-separated texts that mean an empty value, e.g. 'N/A,-' (the empty text always does)");
  command.add_option("--header-row", arguments.HeaderRow,
                     "Line of the data file that holds the header, from 1; the lines before it are left out "
                     "(default: the rules file's '@header-row N', else 1)");
  command.add_option("--skip-rows", arguments.SkipRows,
                     "Records after the header that are not data, such as a row of units "
                     "(default: the rules file's '@skip-rows N', else 0)");
}

std::vector<std::pair<std::string, std::string>> InputEngineOptions(const SInputArguments& arguments,
                                                                    const std::string& requestedEncoding) {
  return {
      {"output-encoding", OutsideEncoding(requestedEncoding)},
      {"null-values", arguments.NullValues},
      {"data-encoding", arguments.DataEncoding.empty() ? requestedEncoding : arguments.DataEncoding},
      {"rules-encoding", arguments.RulesEncoding.empty() ? requestedEncoding : arguments.RulesEncoding},
      {"date-order", arguments.DateOrder},
      {"date-separator", arguments.DateSeparator},
      {"header-row", arguments.HeaderRow},
      {"skip-rows", arguments.SkipRows},
      {"sheet", arguments.Sheet},
      {"language", arguments.Language},
  };
}

}  // namespace rulecalc::cli
