#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/TextCodec.h"

namespace rulecalc::cli {

// One rule of a rules file.
struct SRule {
  std::string Id;           // as written, in the outside encoding
  std::string GbkId;        // the same in GBK, for reports
  std::string GbkSentence;  // the sentence for the library
  std::size_t Line = 0;     // line of the rules file
};

// Reads a rules file: one "id: sentence" per line; blank lines and lines
// whose first visible character is "#" are skipped. The id is everything
// before the first colon, the sentence everything after it, both without
// surrounding blanks. Throws TUsageError for an unreadable file, a line
// without an id or a sentence, a repeated id, or a file without rules;
// TConversionError for text GBK cannot hold.
std::vector<SRule> ReadRulesFile(const std::string& path, TTextCodec& codec);

}  // namespace rulecalc::cli
