#include "io/PendingFile.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace rulecalc::cli {

namespace {

constexpr std::size_t kMaxText = 4096;
constexpr int kSlots = 4;

// Prepared before any signal can come, so the handler only calls what is
// safe in a signal handler (unlink, write, signal, raise).
struct SPendingSlot {
  char Path[kMaxText];
  char Notice[kMaxText];
  volatile sig_atomic_t Pending;
};

SPendingSlot Slots[kSlots];

void OnSignal(int number) {
  for (SPendingSlot& slot : Slots) {
    if (!slot.Pending) continue;
    unlink(slot.Path);
    const ssize_t ignored = write(STDERR_FILENO, slot.Notice, std::strlen(slot.Notice));
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

int CreatePendingFile(const std::string& pattern, const std::string& target, std::string& temporary, int& slot) {
  slot = -1;
  for (int i = 0; i < kSlots && slot < 0; ++i) {
    if (!Slots[i].Pending) slot = i;
  }
  if (slot < 0 || pattern.size() >= kMaxText) {
    errno = slot < 0 ? EMFILE : ENAMETOOLONG;
    return -1;
  }
  SPendingSlot& pending = Slots[slot];
  CopyText(pending.Path, pattern);
  CopyText(pending.Notice, "\nrulecalc: interrupted: the report was not written; '" + target + "' is left as it was\n");
  InstallHandlers();
  pending.Pending = 1;
  const int descriptor = mkstemp(pending.Path);
  if (descriptor < 0) {
    const int error = errno;
    pending.Pending = 0;
    errno = error;
    return -1;
  }
  temporary = pending.Path;
  return descriptor;
}

void ReleasePendingFile(int slot) {
  if (slot >= 0 && slot < kSlots) Slots[slot].Pending = 0;
}

}  // namespace rulecalc::cli
