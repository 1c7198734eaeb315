#include "batch/calc/RunErrors.h"

#include "common/Messages.h"

namespace rulecalc::batch {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

bool IsRunError(std::string_view runtimeText) {
  if (runtimeText == Message(mFloatStackOverflow) || runtimeText == Message(mStringStackOverflow)) return true;
  return StartsWith(runtimeText, Message(mNoInitialValuePrefix)) &&
         EndsWith(runtimeText, Message(mNoInitialValueSuffix));
}

}  // namespace rulecalc::batch
