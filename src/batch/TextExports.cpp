// The text functions of rulecalc_batch.h: the engine's codec, caret
// pictures, typed names and display widths for any front-end. None of them
// throws; every failure is a status with its message in the converter.

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "batch/Failures.h"
#include "batch/calc/AnalysisReport.h"
#include "batch/calc/TypedName.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/DisplayColumns.h"
#include "batch/text/EncodingGuess.h"
#include "batch/text/OneLine.h"
#include "batch/text/TextCodec.h"
#include "rulecalc_batch.h"

using namespace rulecalc::batch;

struct rulecalc_text {
  std::unique_ptr<TTextCodec> Codec;  // null until an encoding is open
  std::unique_ptr<TDisplayColumns> Columns;  // made at the first width asked
  std::string Answer;   // the last text returned
  std::string Message;  // of the last failed call
};

namespace {

// Stores the answer in the converter and hands it out.
rulecalc_batch_status Give(rulecalc_text& text, std::string answer, const char** out, size_t* length) {
  text.Answer = std::move(answer);
  if (out != nullptr) *out = text.Answer.c_str();
  if (length != nullptr) *length = text.Answer.size();
  return RULECALC_BATCH_OK;
}

rulecalc_batch_status Refuse(rulecalc_text& text, rulecalc_batch_status status, std::string message) noexcept {
  try {
    text.Message = std::move(message);
  } catch (...) {
    text.Message.clear();
  }
  return status;
}

// Runs one call, turning whatever it throws into a status and a message.
template <typename Call>
rulecalc_batch_status Guarded(rulecalc_text* text, Call call) noexcept {
  if (text == nullptr) return RULECALC_BATCH_BAD_CALL;
  try {
    return call(*text);
  } catch (const std::bad_alloc&) {
    return Refuse(*text, RULECALC_BATCH_OUT_OF_MEMORY, "out of memory");
  } catch (const std::exception& error) {
    return Refuse(*text, RULECALC_BATCH_UNUSABLE, error.what());
  } catch (...) {
    return Refuse(*text, RULECALC_BATCH_UNUSABLE, "the text could not be read");
  }
}

// The same for a call that converts, which needs an open encoding.
template <typename Call>
rulecalc_batch_status Converting(rulecalc_text* text, Call call) noexcept {
  if (text != nullptr && !text->Codec) return Refuse(*text, RULECALC_BATCH_BAD_CALL, "no encoding is open");
  return Guarded(text, [&](rulecalc_text& t) { return call(t, *t.Codec); });
}

std::string_view Bytes(const char* bytes, size_t length) {
  return bytes == nullptr ? std::string_view() : std::string_view(bytes, length);
}

std::string Shown(TTextCodec& codec, std::string_view gbk, int showing) {
  const std::string line = (showing & RULECALC_TEXT_ONE_LINE) ? OneLine(std::string(gbk)) : std::string(gbk);
  if (showing & RULECALC_TEXT_BYTES) return codec.FromGbkShowingBytes(line);
  if (showing & RULECALC_TEXT_CONTROLS) return codec.FromGbkShowingControls(line);
  return codec.FromGbk(line);
}

}  // namespace

extern "C" {

RULECALC_BATCH_API rulecalc_text* rulecalc_text_new(void) {
  try {
    return new rulecalc_text;
  } catch (...) {
    return nullptr;
  }
}

RULECALC_BATCH_API void rulecalc_text_free(rulecalc_text* text) { delete text; }

RULECALC_BATCH_API const char* rulecalc_text_message(rulecalc_text* text, size_t* length) {
  if (length != nullptr) *length = text == nullptr ? 0 : text->Message.size();
  return text == nullptr ? "" : text->Message.c_str();
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_open(rulecalc_text* text, const char* encoding) {
  return Guarded(text, [&](rulecalc_text& t) {
    // iconv would take "" for the locale's own: a host names the encoding.
    if (encoding == nullptr || *encoding == '\0') throw TUsageError("unknown encoding ''");
    t.Codec = std::make_unique<TTextCodec>(encoding);
    return RULECALC_BATCH_OK;
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_to_gbk(rulecalc_text* text, const char* outside,
                                                              size_t length, const char* what, const char** gbk,
                                                              size_t* gbk_length, size_t* bad_offset) {
  return Converting(text, [&](rulecalc_text& t, TTextCodec& codec) {
    try {
      return Give(t, codec.ToGbk(Bytes(outside, length), what == nullptr ? "the text" : what), gbk, gbk_length);
    } catch (const TConversionError& error) {
      if (bad_offset != nullptr) *bad_offset = error.BadOffset;
      throw;
    }
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_from_gbk(rulecalc_text* text, const char* gbk, size_t length,
                                                                int showing, const char** outside,
                                                                size_t* outside_length) {
  return Converting(text, [&](rulecalc_text& t, TTextCodec& codec) {
    return Give(t, Shown(codec, Bytes(gbk, length), showing), outside, outside_length);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_show_controls(rulecalc_text* text, const char* bytes,
                                                                     size_t length, const char** shown,
                                                                     size_t* shown_length) {
  return Guarded(text, [&](rulecalc_text& t) { return Give(t, ShowingControls(Bytes(bytes, length)), shown, shown_length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_analysis_error(rulecalc_text* text, const char* gbk_sentence,
                                                                      size_t sentence_length,
                                                                      const char* gbk_message, size_t message_length,
                                                                      size_t offset, size_t token_length,
                                                                      const char** shown, size_t* shown_length) {
  return Converting(text, [&](rulecalc_text& t, TTextCodec& codec) {
    SEvaluation evaluation;
    evaluation.Outcome = EMOutcome::AnalysisError;
    evaluation.Text = std::string(Bytes(gbk_message, message_length));
    evaluation.StoppedAt = SFailurePoint{offset, token_length};
    const std::string sentence(Bytes(gbk_sentence, sentence_length));
    return Give(t, DescribeAnalysisError(sentence, evaluation, codec), shown, shown_length);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_warning(rulecalc_text* text, const char* gbk_sentence,
                                                               size_t sentence_length, const char* gbk_message,
                                                               size_t message_length, int32_t position,
                                                               const char** shown, size_t* shown_length) {
  return Converting(text, [&](rulecalc_text& t, TTextCodec& codec) {
    // The picture shows the message and the place; the kind is not shown.
    const rulecalc::SAnalysisWarning warning{rulecalc::EWarningKind::TextComparedWithNumber, position,
                                             std::string(Bytes(gbk_message, message_length))};
    const std::string sentence(Bytes(gbk_sentence, sentence_length));
    return Give(t, DescribeWarning(sentence, warning, codec), shown, shown_length);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_note(rulecalc_text* text, const char* gbk_sentence,
                                                            size_t sentence_length, const char* gbk_note,
                                                            size_t note_length, int32_t position, size_t length,
                                                            const char** shown, size_t* shown_length) {
  return Converting(text, [&](rulecalc_text& t, TTextCodec& codec) {
    const std::string sentence(Bytes(gbk_sentence, sentence_length));
    const std::string note = "note: " + std::string(Bytes(gbk_note, note_length));
    return Give(t, DescribeNote(sentence, note, position, length, codec), shown, shown_length);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_typed_name(rulecalc_text* text, const char* written,
                                                                  size_t length, size_t* name_start,
                                                                  size_t* name_length, int* type) {
  return Guarded(text, [&](rulecalc_text&) {
    const std::string_view whole = Bytes(written, length);
    const STypedName typed = ParseTypedName(whole);
    // The name, never empty, starts at the first byte that is not a blank.
    if (name_start != nullptr) *name_start = whole.find_first_not_of(" \t");
    if (name_length != nullptr) *name_length = typed.Name.size();
    if (type != nullptr) *type = typed.Type ? static_cast<int>(*typed.Type) : -1;
    return RULECALC_BATCH_OK;
  });
}

RULECALC_BATCH_API size_t rulecalc_text_columns(rulecalc_text* text, const char* gbk, size_t length) {
  if (text == nullptr) return 0;
  try {
    if (!text->Columns) text->Columns = std::make_unique<TDisplayColumns>();
    return static_cast<size_t>(text->Columns->Of(ShowingControls(Bytes(gbk, length))));
  } catch (...) {
    return length;  // one column per byte, as for a character of unknown width
  }
}

RULECALC_BATCH_API const char* rulecalc_text_guess_encoding(const char* sample, size_t length, int truncated,
                                                            size_t* bad_offset) {
  try {
    const SEncodingGuess guess = GuessEncoding(Bytes(sample, length), truncated != 0);
    if (guess.AssumedGbk && bad_offset != nullptr) *bad_offset = guess.BadOffset;
    return guess.AssumedGbk ? "GBK" : "UTF-8";
  } catch (...) {
    return "UTF-8";  // the guess copies no more than the name "UTF-8"
  }
}

}  // extern "C"
