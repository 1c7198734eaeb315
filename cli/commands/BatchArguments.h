#pragma once

#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "rulecalc.hpp"

namespace rulecalc::cli {

// The rules file, the data file and how to read them, as written for batch
// and check: CLI11 checks them, the engine takes them by name.
struct SInputArguments {
  std::string RulesPath;
  std::string DataPath;
  std::string DataEncoding;
  std::string RulesEncoding;
  std::string DateOrder;
  std::string DateSeparator;
  std::string NullValues;
  std::string HeaderRow;  // empty: the rules file's, else 1
  std::string SkipRows;   // empty: the rules file's, else 0
  std::string Sheet;      // of a workbook; empty: the rules file's, else the first
  std::string Language;   // "classic" or "extended"; empty: the rules file's, else classic
};

// Adds --rules and --data (required, or not when a command has another
// form) and the options that say how to read them.
void AddInputOptions(CLI::App& command, SInputArguments& arguments, bool required);

// Adds --date-order and --date-separator: how TODATE reads dates.
void AddDateOptions(CLI::App& command, std::string& order, std::string& separator);

// Adds --language: the rule language the sentences are read in. Over a
// rules file it wins over the file's '@language'.
void AddLanguageOption(CLI::App& command, std::string& language, const char* fallback);

// The language named by --language; classic when it was not given.
Language LanguageNamed(const std::string& name);

// Adds the options that say how to read the rules and the data: encodings,
// the language, date reading, null texts, where the header stands.
void AddReadingOptions(CLI::App& command, SInputArguments& arguments);

// The engine's options for reading the input, the output encoding first
// (the one every message is in).
std::vector<std::pair<std::string, std::string>> InputEngineOptions(const SInputArguments& arguments,
                                                                    const std::string& requestedEncoding);

}  // namespace rulecalc::cli
