#pragma once

// Checks shared by the fuzz targets. A failed check prints what was expected
// and aborts, so that libFuzzer records the input as a crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "boundary/ResultBuffer.h"
#include "rulecalc.h"
#include "support/LanguageAnswers.h"

namespace rulecalc::fuzzing {

inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "rulecalc fuzz check failed: %s\n", what);
  std::abort();
}

inline void RequireSame(const std::string& a, const std::string& b, const char* what) {
  if (a == b) return;
  std::fprintf(stderr, "rulecalc fuzz check failed: %s\n  first:  [%s]\n  second: [%s]\n", what,
               a.c_str(), b.c_str());
  std::abort();
}

// A text a getter returned: never null, terminated inside the result buffer.
inline std::string Held(const char* text) {
  Require(text != nullptr, "a getter returned a null pointer");
  Require(strnlen(text, kResultBufferSize) < kResultBufferSize, "a getter's text is not terminated");
  return std::string(text);
}

// A text a handle returned: never null.
inline std::string Whole(const char* text) {
  Require(text != nullptr, "a handle returned a null text");
  return std::string(text);
}

// Every warning of the handle's last analysis has a message and a position
// inside the sentence.
inline void RequireWarningsInside(rulecalc_handle* calc, std::size_t sentenceLength) {
  for (std::size_t i = 0; i < rulecalc_warning_count(calc); ++i) {
    std::int32_t position = -1;
    std::size_t length = 0;
    const char* message = rulecalc_warning(calc, i, &position, &length);
    Require(message != nullptr && length > 0 && std::strlen(message) == length, "a warning without its message");
    Require(position >= 0 && static_cast<std::size_t>(position) < sentenceLength, "a warning outside the sentence");
  }
  Require(rulecalc_warning(calc, rulecalc_warning_count(calc), nullptr, nullptr) == nullptr,
          "a warning past the last one");
}

// Where the last analysis stopped lies inside the sentence.
inline void RequireStopInside(rulecalc_handle* calc, std::size_t sentenceLength) {
  std::size_t offset = 0, length = 0;
  Require(rulecalc_analysis_stop(calc, &offset, &length) == 0, "no analysis stop");
  Require(offset <= sentenceLength && length <= sentenceLength - offset, "an analysis stop outside the sentence");
}

// The items of each listing, put back together with their separators, are
// the listing: ";" after every token and number, between the names.
inline void RequireItemsMakeTheListings(rulecalc_handle* calc) {
  using TListing = const char* (*)(rulecalc_handle*, std::size_t*);
  for (TListing listing : {rulecalc_tokens, rulecalc_numbers, rulecalc_varnames}) {
    std::size_t length = 0;
    const std::string whole(listing(calc, &length), length);
    std::string rebuilt;
    for (std::size_t i = 0; i < rulecalc_listing_item_count(calc); ++i) {
      std::size_t start = 0, itemLength = 0;
      Require(rulecalc_listing_item(calc, i, &start, &itemLength) == 0, "a listing item is missing");
      Require(start <= whole.size() && itemLength <= whole.size() - start, "a listing item outside its listing");
      if (listing == rulecalc_varnames && i > 0) rebuilt += ';';
      rebuilt += whole.substr(start, itemLength);
      if (listing != rulecalc_varnames) rebuilt += ';';
    }
    RequireSame(rebuilt, whole, "the listing items do not make the listing");
  }
}

// The rule through a classic and an extended calculator: the same account,
// where the classic language analysed it, when the sentence names no
// keyword of the extended language as a variable;
// when the first statement does and the classic language analyses it, the
// extended language does not.
inline void RequireSameInBothLanguages(TRuleCalc& classic, TRuleCalc& extended,
                                       const std::vector<testing::SVariable>& variables, const std::string& sentence) {
  const auto viaClassic = testing::AccountOfRule(classic, variables, sentence);
  const auto viaExtended = testing::AccountOfRule(extended, variables, sentence);
  if (!testing::NamesExtendedKeyword(sentence)) {
    if (!testing::SameWhereClassicAnalysed(viaClassic, viaExtended))
      RequireSame(viaClassic.Text, viaExtended.Text, "the classic and the extended language answer differently");
  } else if (viaClassic.Analysed &&
             testing::NamesExtendedKeyword(sentence.substr(0, viaClassic.FirstStatementEnd))) {
    Require(testing::RefusedForKeyword(viaExtended),
            "the extended language took one of its keywords as a variable name");
  }
}

}  // namespace rulecalc::fuzzing
