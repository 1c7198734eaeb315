#pragma once

#include <cstdint>

namespace rulecalc {

// The host's way to stop a long call: the check it gave is asked every
// kInterruptInterval steps (tokens read, instructions run), and a non-zero
// answer ends the call at once with a defined result.
class TInterruptHook {
 public:
  using TCheck = int (*)(void* data);
  static constexpr std::uint32_t kInterruptInterval = 1024;

  // A null check asks nothing again.
  void Set(TCheck check, void* data) noexcept {
    Check = check;
    Data = data;
    Countdown = kInterruptInterval;
    Stopped = false;
  }
  bool IsSet() const noexcept { return Check != nullptr; }
  // Counts one step; on every kInterruptInterval-th, asks the host. True: stop now.
  bool StopRequested() {
    if (Check == nullptr || --Countdown != 0) return false;
    Countdown = kInterruptInterval;
    Stopped = Check(Data) != 0;
    return Stopped;
  }
  // Whether the host said stop since the last Rearm.
  bool HasStopped() const noexcept { return Stopped; }
  void Rearm() noexcept { Stopped = false; }

 private:
  TCheck Check = nullptr;
  void* Data = nullptr;
  std::uint32_t Countdown = kInterruptInterval;
  bool Stopped = false;
};

// Thrown where a step cannot return early (the tokeniser, deep in the
// analyser or an explanation); the calculator's boundary turns it into the
// call's interrupted result.
struct SInterrupted {};

}  // namespace rulecalc
