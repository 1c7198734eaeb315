#pragma once

#include <string>
#include <string_view>

#include "rulecalc.hpp"
#include "rulecalc_batch.h"

namespace rulecalc::cli {

// A name as written with its optional type suffix ("AGE", "AGE:num").
struct SNameAndType {
  std::string Name;
  bool Typed = false;                   // a suffix was given
  ValueType Type = ValueType::Number;   // the one given
};

// The texts the tool shows people, over rulecalc_text: conversions between
// the outside encoding (the terminal's, or the one asked for) and GBK, the
// caret pictures of analysis errors and warnings, typed names. Going in is
// strict, coming out lenient. Failures are thrown: TUsageError for an unknown
// encoding, a bad name or text GBK cannot hold, std::bad_alloc when memory
// runs out.
class TOutsideText {
 public:
  // Without an encoding: for ShowingControls and TypedName only.
  TOutsideText();
  explicit TOutsideText(const std::string& encoding);
  ~TOutsideText();
  TOutsideText(const TOutsideText&) = delete;
  TOutsideText& operator=(const TOutsideText&) = delete;

  // what names the text in the message ("the sentence", "the value of AGE").
  std::string ToGbk(std::string_view text, const std::string& what);
  // showing: rulecalc_text_showing flags.
  std::string FromGbk(std::string_view gbk, int showing);
  std::string ShowingControls(std::string_view text);
  // "analysis error: ..." with the sentence's line and the caret, each line ended.
  std::string AnalysisError(std::string_view gbkSentence, std::string_view gbkMessage, SentenceSpan stop);
  // "warning: ..." in the same form.
  std::string Warning(std::string_view gbkSentence, const rulecalc::Warning& warning);
  // "note: ..." in the same form, carets under the call's name.
  std::string Note(std::string_view gbkSentence, const rulecalc::Note& note);
  SNameAndType TypedName(std::string_view written);

 private:
  // Throws for anything but RULECALC_BATCH_OK.
  void Require(rulecalc_batch_status status);
  std::string Answer() const;

  rulecalc_text* Handle;
  const char* Text = nullptr;  // the last answer
  size_t Length = 0;
};

}  // namespace rulecalc::cli
