#pragma once

#include <cstdint>

namespace rulecalc {

// The language a calculator reads. Classic is the language every sentence
// has always meant; Extended adds bracketed conditions, NOT, IN, IS EMPTY
// and more functions, and keeps every classic sentence's code, results and
// explanations (its new keywords are no variable names there).
enum class ELanguage : std::uint8_t { Classic, Extended };

}  // namespace rulecalc
