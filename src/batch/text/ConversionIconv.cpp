#include <iconv.h>

#include <cerrno>

#include "batch/Failures.h"
#include "batch/text/Conversion.h"

namespace rulecalc::batch {

struct TConversion::SSystem {
  iconv_t Handle;
};

TConversion::TConversion(const std::string& to, const std::string& from, bool lenient, const std::string& named) {
  const iconv_t handle = iconv_open((lenient ? to + "//TRANSLIT" : to).c_str(), from.c_str());
  if (handle == reinterpret_cast<iconv_t>(-1)) throw TUsageError("unknown encoding '" + named + "'");
  System.reset(new SSystem{handle});
}

TConversion::~TConversion() { iconv_close(System->Handle); }

std::size_t TConversion::Append(std::string_view in, std::string& out) {
  const iconv_t handle = System->Handle;
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in.data());
  std::size_t inLeft = in.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) return in.size() - inLeft;
  }
  char* outPtr = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(handle, nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
  return kAllConverted;
}

}  // namespace rulecalc::batch
