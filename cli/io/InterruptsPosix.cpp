#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "io/Interrupts.h"

namespace rulecalc::cli {

namespace {

void OnSignal(int number) {
  RemovePendingFiles();
  signal(number, SIG_DFL);
  raise(number);
}

}  // namespace

int MakeUniqueFile(char* pattern) { return mkstemp(pattern); }

// SIGINT, SIGTERM and SIGHUP; a signal that was ignored (a background job)
// stays ignored.
void InstallInterruptHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    sigaction(number, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) sigaction(number, &action, nullptr);
  }
}

void RemoveFileNow(const char* path) { unlink(path); }

void SayNow(const char* text) {
  const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  static_cast<void>(ignored);
}

}  // namespace rulecalc::cli
