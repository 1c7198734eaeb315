#include "batch/text/OneLine.h"

namespace rulecalc::batch {

namespace {

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string OneLine(const std::string& text) {
  if (text.find_first_of("\r\n") == std::string::npos) return text;
  std::string line;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t end = i;
    while (end < text.size() && IsWhiteSpace(text[end])) ++end;
    const std::string run = text.substr(i, end - i);
    if (end == i) {
      line += text[i++];
      continue;
    }
    line += run.find_first_of("\r\n") == std::string::npos ? run : " ";
    i = end;
  }
  return line;
}

}  // namespace rulecalc::batch
