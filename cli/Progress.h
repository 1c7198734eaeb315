#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace rulecalc::cli {

// A progress bar on standard error, drawn only when it is wanted (standard
// error is a terminal and the report does not scroll on that terminal) and
// only once the work has taken more than a moment; redrawn a few times a
// second at most.
class TProgressBar {
 public:
  TProgressBar(std::string label, std::uint64_t totalBytes, bool wanted);
  ~TProgressBar();
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  void Update(std::uint64_t bytesDone, std::uint64_t rowsDone);

  // Removes the bar from the screen (before other text is written to standard error).
  void Clear();

 private:
  void Draw(std::uint64_t bytesDone, std::uint64_t rowsDone);

  std::string Label;
  std::uint64_t TotalBytes;
  bool Wanted;
  bool Shown = false;
  std::chrono::steady_clock::time_point Started;
  std::chrono::steady_clock::time_point LastDrawn;
};

// True when standard error is a terminal and the report does not go to that
// same terminal (it goes to a file, or standard output is not a terminal).
bool ProgressWanted(bool reportToStandardOutput);

}  // namespace rulecalc::cli
