#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/Columns.h"
#include "batch/Thresholds.h"
#include "common/Language.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// One rule of a rules file.
struct SRule {
  std::string Id;              // as written, in the outside encoding
  std::string GbkId;           // the same in GBK, for reports
  std::string GbkDescription;  // optional, GBK
  std::string GbkSentence;     // the sentence for the library, up to and with its ';'
  std::size_t Line = 0;        // line of the rules file where the sentence starts
};

// A rules file: its rules and the date settings it asks for (empty when it
// leaves them to the command line or the locale).
struct SRulesFile {
  std::vector<SRule> Rules;
  std::string DateOrder;      // "ymd", "mdy" or "dmy"
  std::string DateSeparator;  // one character
  std::vector<SThreshold> Tolerances;  // from @max-failed lines, in the order of the rules
  std::vector<SColumnMapping> Columns; // from @column lines, in their order
  std::optional<std::uint64_t> HeaderRow;  // @header-row N: the data's header is its line N
  std::optional<std::uint64_t> SkipRows;   // @skip-rows N: N records after the header are no data
  std::string GbkSheet;                    // @sheet NAME: the sheet of a workbook the data is (GBK)
  std::optional<ELanguage> Language;       // @language classic|extended: the language the rules are in
};

// Reads the text of a rules file (in the codec's encoding):
//   # a comment, anywhere outside a text literal, to the end of the line
//   @date-order ymd|mdy|dmy
//   @date-separator C
//   @max-failed RULE N        (or P%: how many of its rows a rule may fail)
//   @column DATA NAME         (the rules name the data's column DATA by NAME)
//   @header-row N             (the data's header is its line N, from 1)
//   @skip-rows N              (N records after the header are no data)
//   @sheet NAME               (the sheet of a workbook to read; NAME may hold blanks)
//   @language classic|extended (the language of every rule; once, before the first rule)
//   id: sentence;
//   id "description": sentence
//       that runs over several lines;
// A rule's sentence runs to its first ';' outside a text literal. Throws
// TUsageError naming file, line and column for anything else: an id without
// ':', a missing ';' (the next rule's "id:" inside a sentence, or the end of
// the file), a repeated id, an unknown setting, a @max-failed of no rule or
// a second one of a rule, an @column whose NAME no rule could name or whose
// DATA is mapped twice, a @language after a rule or a second one, a file
// without rules;
// TConversionError for text GBK cannot hold.
SRulesFile ParseRules(std::string_view text, const std::string& path, TTextCodec& codec);

// A count written as digits, at least least (at most a billion); throws
// TUsageError saying what it is for otherwise.
std::uint64_t ReadRowCount(const std::string& text, const std::string& what, std::uint64_t least);

// The bytes of the rules file at path; throws TUsageError when it cannot be read.
std::string ReadRulesText(const std::string& path);

}  // namespace rulecalc::batch
