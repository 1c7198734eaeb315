#include "platform/HostClock.h"

#include <ctime>

namespace rulecalc {

namespace {

int LocalYearAt(std::time_t when) {
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &when);
#else
  localtime_r(&when, &local);
#endif
  return local.tm_year + 1900;
}

}  // namespace

// Runs ask for the year once per date read; the local time is worked out
// again only when the clock has moved to another second.
int HostCurrentYear() {
  thread_local std::time_t lastAsked = static_cast<std::time_t>(-1);
  thread_local int yearThen = 0;
  const std::time_t now = std::time(nullptr);
  if (now != lastAsked) {
    yearThen = LocalYearAt(now);
    lastAsked = now;
  }
  return yearThen;
}

}  // namespace rulecalc
