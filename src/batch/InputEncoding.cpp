#include "batch/InputEncoding.h"

#include <cstdio>

#include "batch/text/EncodingGuess.h"

namespace rulecalc::cli {

std::string InputEncoding(const std::string& bytes, bool truncated, const std::string& requested,
                          const std::string& path, const std::string& option) {
  const SEncodingGuess guess = GuessEncoding(bytes, truncated);
  if (!requested.empty()) {
    if (IsGbkFamily(requested) && guess.HasNonAscii && !guess.AssumedGbk) {
      std::fprintf(stderr,
                   "rulecalc: warning: '%s' is read as %s as asked, but it looks like UTF-8; "
                   "%s UTF-8 reads it as UTF-8\n",
                   path.c_str(), requested.c_str(), option.c_str());
    }
    return requested;
  }
  if (guess.AssumedGbk) {
    std::fprintf(stderr, "rulecalc: '%s' is not UTF-8 (byte %zu), so it is read as GBK; %s names another encoding\n",
                 path.c_str(), guess.BadOffset + 1, option.c_str());
  }
  return guess.Encoding;
}

}  // namespace rulecalc::cli
