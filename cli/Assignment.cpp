#include "Assignment.h"

#include "Failures.h"

namespace rulecalc::cli {

SAssignment ParseAssignment(std::string_view written, TOutsideText& texts) {
  const std::size_t equals = written.find('=');
  if (equals == std::string_view::npos) {
    throw TUsageError("'" + std::string(written) + "' is not NAME=VALUE");
  }
  return SAssignment{texts.TypedName(written.substr(0, equals)), std::string(written.substr(equals + 1))};
}

}  // namespace rulecalc::cli
