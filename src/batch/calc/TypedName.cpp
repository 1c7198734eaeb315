#include "batch/calc/TypedName.h"

#include <algorithm>
#include <cctype>

#include "batch/Failures.h"
#include "batch/text/ControlCharacters.h"

namespace rulecalc::batch {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

EMValueType SuffixType(std::string_view suffix, std::string_view written) {
  const std::string lower = Lowercase(TrimBlanks(suffix));
  if (lower == "num") return vtNumber;
  if (lower == "text") return vtText;
  throw TUsageError("'" + ShowingControls(written) + "': the type must be ':num' or ':text'");
}

}  // namespace

STypedName ParseTypedName(std::string_view written) {
  STypedName typed;
  const std::size_t colon = written.rfind(':');
  const std::string_view name = TrimBlanks(written.substr(0, colon));
  if (colon != std::string_view::npos) typed.Type = SuffixType(written.substr(colon + 1), written);
  if (name.empty()) throw TUsageError("'" + ShowingControls(written) + "': the variable name is missing");
  typed.Name = std::string(name);
  return typed;
}

}  // namespace rulecalc::batch
