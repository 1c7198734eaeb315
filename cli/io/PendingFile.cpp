#include "io/PendingFile.h"

#include <csignal>
#include <cerrno>
#include <cstring>

#include "io/Interrupts.h"

namespace rulecalc::cli {

namespace {

constexpr std::size_t kMaxText = 4096;
constexpr int kSlots = 4;

// Prepared before any interrupt can come, so that the handler only calls
// what is safe there (RemoveFileNow, SayNow).
struct SPendingSlot {
  char Path[kMaxText];
  char Notice[kMaxText];
  volatile std::sig_atomic_t Pending;
};

SPendingSlot Slots[kSlots];

void CopyText(char* into, const std::string& text) {
  const std::size_t length = text.size() < kMaxText - 1 ? text.size() : kMaxText - 1;
  std::memcpy(into, text.data(), length);
  into[length] = '\0';
}

}  // namespace

void RemovePendingFiles() {
  for (SPendingSlot& slot : Slots) {
    if (!slot.Pending) continue;
    RemoveFileNow(slot.Path);
    SayNow(slot.Notice);
  }
}

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
  InstallInterruptHandlers();
  pending.Pending = 1;
  const int descriptor = MakeUniqueFile(pending.Path);
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
