#include "batch/RulesScanner.h"

#include "batch/Failures.h"
#include "batch/text/ControlCharacters.h"

namespace rulecalc::batch {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// True for a byte that continues a character: UTF-8 continuation bytes.
bool ContinuesCharacter(unsigned char c) { return c >= 0x80 && c < 0xC0; }

}  // namespace

void TRulesScanner::Advance() {
  if (AtEnd()) return;
  if (Text[Pos++] == '\n') {
    ++LineNumber;
    LineStart = Pos;
  }
}

bool TRulesScanner::SkipBlanksAndComments() {
  while (!AtEnd()) {
    if (Peek() == '#') {
      SkipComment();
    } else if (IsBlank(Peek())) {
      Advance();
    } else {
      return true;
    }
  }
  return false;
}

void TRulesScanner::SkipSpaces() {
  while (Peek() == ' ' || Peek() == '\t') Advance();
}

void TRulesScanner::SkipComment() {
  while (!AtEnd() && Peek() != '\n') Advance();
}

std::string_view TRulesScanner::UntilOneOf(std::string_view stops) {
  const std::size_t start = Pos;
  while (!AtEnd() && stops.find(Peek()) == std::string_view::npos) Advance();
  return Text.substr(start, Pos - start);
}

std::string TRulesScanner::Word() {
  std::string word;
  while (!AtEnd() && static_cast<unsigned char>(Peek()) > ' ' && Peek() != '#') {
    word += Peek();
    Advance();
  }
  return word;
}

std::string TRulesScanner::QuotedText() {
  const std::string where = Where();
  Advance();
  const std::string_view text = UntilOneOf("\"\n");
  if (Peek() != '"') throw TUsageError(where + "the description has no closing '\"' on its line");
  Advance();
  return std::string(text);
}

std::string TRulesScanner::Sentence(const std::string& id, const std::string& startedAt) {
  std::string sentence;
  while (!AtEnd()) {
    const char c = Peek();
    if (c == '#') {
      SkipComment();
      continue;
    }
    if (c == ':') {
      throw TUsageError(Where() + "':' inside the sentence of rule '" + ShowingControls(id) + "' (" + startedAt.substr(0, startedAt.size() - 2) +
                        "): is the ';' at the end of that rule missing?");
    }
    sentence += c;
    Advance();
    if (c == ';') return sentence;
    if (c != '"') continue;
    sentence += UntilOneOf("\"");
    if (AtEnd()) break;
    sentence += '"';
    Advance();
  }
  throw TUsageError(Where() + "the rule '" + ShowingControls(id) + "' (" + startedAt.substr(0, startedAt.size() - 2) +
                    ") has no ';' at its end");
}

std::size_t TRulesScanner::Column() const {
  std::size_t column = 1;
  for (std::size_t i = LineStart; i < Pos && i < Text.size(); ++i) {
    if (!ContinuesCharacter(static_cast<unsigned char>(Text[i]))) ++column;
  }
  return column;
}

std::string TRulesScanner::Where() const {
  return FilePath + ":" + std::to_string(LineNumber) + ":" + std::to_string(Column()) + ": ";
}

}  // namespace rulecalc::batch
