#include "FailingAllocator.h"

#include <cstdlib>
#include <new>

namespace rulecalc::testing {

namespace {

// One thread only: the library is called from one thread at a time.
SAllocationPlan Plan;
bool Counting = false;
std::int64_t Counted = 0;
std::int64_t Failed = 0;

bool ShouldFail() {
  if (!Counting) return false;
  const std::int64_t index = Counted++;
  const bool fail = Plan.FailAt >= 0 && (index == Plan.FailAt || (Plan.Persistent && index > Plan.FailAt));
  if (fail) ++Failed;
  return fail;
}

void* Allocate(std::size_t size) {
  if (ShouldFail()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void StartAllocationPlan(SAllocationPlan plan) {
  Plan = plan;
  Counted = 0;
  Failed = 0;
}

std::int64_t AllocationsCounted() { return Counted; }
std::int64_t AllocationsFailed() { return Failed; }

TCountedCall::TCountedCall() { Counting = true; }
TCountedCall::~TCountedCall() { Counting = false; }

}  // namespace rulecalc::testing

// The replaceable global allocation functions of this program.
void* operator new(std::size_t size) {
  void* p = rulecalc::testing::Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return rulecalc::testing::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return rulecalc::testing::Allocate(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
