#include "OutsideText.h"

#include <new>
#include <stdexcept>

#include "Failures.h"

namespace rulecalc::cli {

TOutsideText::TOutsideText() : Handle(rulecalc_text_new()) {
  if (Handle == nullptr) throw std::bad_alloc();
}

// Once the delegated constructor is done the destructor frees the handle,
// also when opening the encoding throws.
TOutsideText::TOutsideText(const std::string& encoding) : TOutsideText() {
  Require(rulecalc_text_open(Handle, encoding.c_str()));
}

TOutsideText::~TOutsideText() { rulecalc_text_free(Handle); }

void TOutsideText::Require(rulecalc_batch_status status) {
  switch (status) {
    case RULECALC_BATCH_OK:
      return;
    case RULECALC_BATCH_OUT_OF_MEMORY:
      throw std::bad_alloc();
    case RULECALC_BATCH_UNUSABLE:
      throw TUsageError(rulecalc_text_message(Handle, nullptr));
    default:
      throw std::logic_error(rulecalc_text_message(Handle, nullptr));
  }
}

std::string TOutsideText::Answer() const { return std::string(Text, Length); }

std::string TOutsideText::ToGbk(std::string_view text, const std::string& what) {
  Require(
      rulecalc_text_to_gbk(Handle, text.data(), text.size(), what.c_str(), &Text, &Length, nullptr));
  return Answer();
}

std::string TOutsideText::FromGbk(std::string_view gbk, int showing) {
  Require(rulecalc_text_from_gbk(Handle, gbk.data(), gbk.size(), showing, &Text, &Length));
  return Answer();
}

std::string TOutsideText::ShowingControls(std::string_view text) {
  Require(rulecalc_text_show_controls(Handle, text.data(), text.size(), &Text, &Length));
  return Answer();
}

std::string TOutsideText::AnalysisError(std::string_view gbkSentence, std::string_view gbkMessage,
                                        SentenceSpan stop) {
  Require(rulecalc_text_analysis_error(Handle, gbkSentence.data(), gbkSentence.size(),
                                                         gbkMessage.data(), gbkMessage.size(), stop.offset,
                                                         stop.length, &Text, &Length));
  return Answer();
}

std::string TOutsideText::Warning(std::string_view gbkSentence, const rulecalc::Warning& warning) {
  Require(rulecalc_text_warning(Handle, gbkSentence.data(), gbkSentence.size(),
                                                  warning.message.data(), warning.message.size(), warning.position,
                                                  &Text, &Length));
  return Answer();
}

std::string TOutsideText::Note(std::string_view gbkSentence, const rulecalc::Note& note) {
  const std::size_t length = note.function.empty() ? note.argument.size() : note.function.size();
  Require(rulecalc_text_note(Handle, gbkSentence.data(), gbkSentence.size(), note.text.data(), note.text.size(),
                             note.position, length, &Text, &Length));
  return Answer();
}

SNameAndType TOutsideText::TypedName(std::string_view written) {
  size_t start = 0, length = 0;
  int type = -1;
  Require(rulecalc_text_typed_name(Handle, written.data(), written.size(), &start, &length, &type));
  SNameAndType typed;
  typed.Name = std::string(written.substr(start, length));
  typed.Typed = type >= 0;
  typed.Type = type == RULECALC_TEXT ? ValueType::Text : ValueType::Number;
  return typed;
}

}  // namespace rulecalc::cli
