#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rulecalc::batch {

// Walks the bytes of a rules file keeping line and column (columns count
// characters: a UTF-8 or GBK character is one). ASCII bytes mean the same in
// UTF-8 and GBK (GBK's second bytes are never '"', '#', ':' or ';'), so the
// scanner works on the file as written.
class TRulesScanner {
 public:
  TRulesScanner(std::string_view text, std::string path) : Text(text), FilePath(std::move(path)) {}

  bool AtEnd() const { return Pos >= Text.size(); }
  char Peek() const { return AtEnd() ? '\0' : Text[Pos]; }
  void Advance();

  // Skips white space and comments; false at the end of the text.
  bool SkipBlanksAndComments();
  // Skips blanks and tabs on the current line.
  void SkipSpaces();
  // The bytes up to (not with) the first of stops or the end.
  std::string_view UntilOneOf(std::string_view stops);
  // A run of letters, digits, '-' and other visible ASCII but '#'.
  std::string Word();
  // A "..." text at the current '"', without its quotes.
  std::string QuotedText();
  // A sentence up to and with its ';' outside text literals; comments are
  // left out. Throws TUsageError when it has none before the end of the
  // text or runs into what looks like the next rule ("id:").
  std::string Sentence(const std::string& id, const std::string& startedAt);

  std::size_t Line() const { return LineNumber; }
  const std::string& Path() const { return FilePath; }
  // "path:line:column: " of the current position.
  std::string Where() const;

 private:
  void SkipComment();
  std::size_t Column() const;

  std::string_view Text;
  std::string FilePath;
  std::size_t Pos = 0;
  std::size_t LineNumber = 1;
  std::size_t LineStart = 0;
};

}  // namespace rulecalc::batch
