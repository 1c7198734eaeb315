#include "batch/InputEncoding.h"


#include "batch/text/EncodingGuess.h"

namespace rulecalc::batch {

std::string InputEncoding(const std::string& bytes, bool truncated, const std::string& requested,
                          const std::string& path, const std::string& option, std::string& notice) {
  const SEncodingGuess guess = GuessEncoding(bytes, truncated);
  if (!requested.empty()) {
    if (IsGbkFamily(requested) && guess.HasNonAscii && !guess.AssumedGbk) {
      notice = "warning: '" + path + "' is read as " + requested + " as asked, but it looks like UTF-8; " + option +
               " UTF-8 reads it as UTF-8\n";
    }
    return requested;
  }
  if (guess.AssumedGbk) {
    notice = "'" + path + "' is not UTF-8 (byte " + std::to_string(guess.BadOffset + 1) + "), so it is read as GBK; " +
             option + " names another encoding\n";
  }
  return guess.Encoding;
}

}  // namespace rulecalc::batch
