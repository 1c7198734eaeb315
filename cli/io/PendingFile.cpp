#include "io/PendingFile.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace rulecalc::cli {

namespace {

constexpr std::size_t kMaxText = 4096;

// Prepared before any signal can come, so the handler only calls what is
// safe in a signal handler (unlink, write, signal, raise).
char PendingPath[kMaxText];
char Notice[kMaxText];
volatile sig_atomic_t Pending = 0;

void OnSignal(int number) {
  if (Pending) {
    unlink(PendingPath);
    const ssize_t ignored = write(STDERR_FILENO, Notice, std::strlen(Notice));
    static_cast<void>(ignored);
  }
  signal(number, SIG_DFL);
  raise(number);
}

void CopyText(char* into, const std::string& text) {
  const std::size_t length = text.size() < kMaxText - 1 ? text.size() : kMaxText - 1;
  std::memcpy(into, text.data(), length);
  into[length] = '\0';
}

void InstallHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    sigaction(number, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) sigaction(number, &action, nullptr);  // a background job keeps ignoring
  }
}

}  // namespace

void HoldPendingFile(const std::string& temporary, const std::string& target) {
  Pending = 0;
  CopyText(PendingPath, temporary);
  CopyText(Notice, "\nrulecalc: interrupted: the report was not written; '" + target + "' is left as it was\n");
  InstallHandlers();
  Pending = 1;
}

void ReleasePendingFile() { Pending = 0; }

}  // namespace rulecalc::cli
