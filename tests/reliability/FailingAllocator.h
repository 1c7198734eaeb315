#pragma once

#include <cstdint>

namespace rulecalc::testing {

// Control of this program's global operator new. Only allocations made inside
// a TCountedCall scope are counted; of those, the plan makes the chosen one
// fail with std::bad_alloc (and, when persistent, every later one too).
// Outside such a scope, and without a plan, it allocates as usual.
struct SAllocationPlan {
  std::int64_t FailAt = -1;  // index of the first counted allocation to fail; -1 none
  bool Persistent = false;   // also fail every later counted allocation
};

// Sets the plan and restarts both counters.
void StartAllocationPlan(SAllocationPlan plan);
// Counted allocations since the plan started (failed ones included).
std::int64_t AllocationsCounted();
// Counted allocations that failed since the plan started.
std::int64_t AllocationsFailed();

// Counts (and fails, by the plan) the allocations made while it lives.
class TCountedCall {
 public:
  TCountedCall();
  ~TCountedCall();
  TCountedCall(const TCountedCall&) = delete;
  TCountedCall& operator=(const TCountedCall&) = delete;
};

}  // namespace rulecalc::testing
