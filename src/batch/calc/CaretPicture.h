#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "batch/calc/FailurePoint.h"
#include "batch/text/DisplayColumns.h"

namespace rulecalc::batch {

// The line of a sentence that holds a failure point, and a marker line whose
// carets sit under the failing token once both are shown in the terminal.
struct SCaretPicture {
  std::size_t LineNumber = 1;  // 1-based line of the sentence
  std::string GbkLine;         // that line, tabs shown as blanks
  std::string Marker;          // blanks, then one "^" per column of the token (at least one), once
                               // the line is shown with its control characters as \xNN
};

SCaretPicture DrawCaret(std::string_view gbkSentence, SFailurePoint point, TDisplayColumns& columns);

}  // namespace rulecalc::batch
