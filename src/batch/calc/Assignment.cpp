#include "batch/calc/Assignment.h"

#include "batch/Failures.h"

namespace rulecalc::batch {

SAssignment ParseAssignment(std::string_view written) {
  const std::size_t equals = written.find('=');
  if (equals == std::string_view::npos) {
    throw TUsageError("'" + std::string(written) + "' is not NAME=VALUE");
  }
  return SAssignment{ParseTypedName(written.substr(0, equals)), std::string(written.substr(equals + 1))};
}

}  // namespace rulecalc::batch
