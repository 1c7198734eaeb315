#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace rulecalc::cli {

namespace {

constexpr auto kMoment = std::chrono::milliseconds(500);
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

}  // namespace

TProgressBar::TProgressBar(std::string label, std::uint64_t totalBytes, bool wanted)
    : Label(std::move(label)), TotalBytes(totalBytes), Wanted(wanted), Started(std::chrono::steady_clock::now()) {}

TProgressBar::~TProgressBar() { Clear(); }

void TProgressBar::Update(std::uint64_t bytesDone, std::uint64_t rowsDone) {
  if (!Wanted) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - Started < kMoment || (Shown && now - LastDrawn < kRedrawEvery)) return;
  LastDrawn = now;
  Draw(bytesDone, rowsDone);
}

void TProgressBar::Draw(std::uint64_t bytesDone, std::uint64_t rowsDone) {
  if (TotalBytes == 0) {  // a pipe: the size is not known
    std::fprintf(stderr, "\r%s %llu rows", Label.c_str(), static_cast<unsigned long long>(rowsDone));
    std::fflush(stderr);
    Shown = true;
    return;
  }
  const std::uint64_t percent = std::min<std::uint64_t>(bytesDone * 100 / TotalBytes, 100);
  const auto filled = static_cast<int>(percent * kBarWidth / 100);
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
  std::fprintf(stderr, "\r%s [%s] %3u%%  %llu rows", Label.c_str(), bar.c_str(), static_cast<unsigned>(percent),
               static_cast<unsigned long long>(rowsDone));
  std::fflush(stderr);
  Shown = true;
}

void TProgressBar::Clear() {
  if (!Shown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  Shown = false;
}

bool ProgressWanted(bool reportToStandardOutput) {
  return isatty(STDERR_FILENO) && !(reportToStandardOutput && isatty(STDOUT_FILENO));
}

}  // namespace rulecalc::cli
