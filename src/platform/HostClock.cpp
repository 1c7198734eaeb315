#include "platform/HostClock.h"

#include <ctime>

namespace rulecalc {

int HostCurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local.tm_year + 1900;
}

}  // namespace rulecalc
