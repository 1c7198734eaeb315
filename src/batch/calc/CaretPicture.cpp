#include "batch/calc/CaretPicture.h"

#include <algorithm>

#include "common/GbkText.h"
#include "batch/text/ControlCharacters.h"

namespace rulecalc::batch {

namespace {

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

std::size_t LineStart(std::string_view text, std::size_t offset) {
  while (offset > 0 && !IsLineBreak(text[offset - 1])) --offset;
  return offset;
}

std::size_t LineEnd(std::string_view text, std::size_t offset) {
  while (offset < text.size() && !IsLineBreak(text[offset])) ++offset;
  return offset;
}

// The character boundary at or before offset, walking GBK characters from the line start.
std::size_t CharacterBoundary(std::string_view line, std::size_t offset) {
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t next = i + GbkCharLength(line, i);
    if (next > offset) return i;
    i = next;
  }
  return line.size();
}

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || IsLineBreak(c); }

// The end of a sentence is shown right after its last visible character.
std::size_t BackOverWhiteSpace(std::string_view text, std::size_t offset) {
  while (offset > 0 && IsWhiteSpace(text[offset - 1])) --offset;
  return offset;
}

// The end of the character in which offset falls (offset itself on a boundary).
std::size_t CharacterEnd(std::string_view line, std::size_t offset) {
  const std::size_t start = CharacterBoundary(line, offset);
  return start == offset || start >= line.size() ? offset : start + GbkCharLength(line, start);
}

std::string TabsAsBlanks(std::string_view line) {
  std::string shown(line);
  std::replace(shown.begin(), shown.end(), '\t', ' ');
  return shown;
}

}  // namespace

SCaretPicture DrawCaret(std::string_view gbkSentence, SFailurePoint point, TDisplayColumns& columns) {
  std::size_t offset = std::min(point.Offset, gbkSentence.size());
  if (point.Length == 0) offset = BackOverWhiteSpace(gbkSentence, offset);
  const std::size_t start = LineStart(gbkSentence, offset);
  const std::string_view line = gbkSentence.substr(start, LineEnd(gbkSentence, offset) - start);
  const std::size_t tokenStart = CharacterBoundary(line, offset - start);
  const std::size_t tokenEnd = CharacterEnd(line, std::min(offset - start + point.Length, line.size()));

  SCaretPicture picture;
  picture.LineNumber = 1 + static_cast<std::size_t>(std::count(gbkSentence.begin(), gbkSentence.begin() + start, '\n'));
  picture.GbkLine = TabsAsBlanks(line);
  const int lead = columns.Of(ShowingControls(picture.GbkLine.substr(0, tokenStart)));
  const int width = columns.Of(ShowingControls(picture.GbkLine.substr(tokenStart, tokenEnd - tokenStart)));
  picture.Marker = std::string(static_cast<std::size_t>(lead), ' ') + std::string(static_cast<std::size_t>(std::max(width, 1)), '^');
  return picture;
}

}  // namespace rulecalc::batch
