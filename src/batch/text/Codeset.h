#pragma once

#include <string>

#include "batch/ToolBridge.h"

namespace rulecalc::batch {

// Adopts the user's locale (messages, dates, character widths). When the
// locale is the plain C/POSIX one, character classes come from C.UTF-8 so
// that widths of Chinese characters are known.
void AdoptUserLocale();

// The encoding that sentences, names, values and files use outside the
// library: the requested one when given, else the locale's codeset. The plain
// C/POSIX locale (ASCII) counts as UTF-8, the encoding of nearly every
// terminal, so that Chinese messages stay readable where LANG is unset.
std::string OutsideEncoding(const std::string& requested);

}  // namespace rulecalc::batch
