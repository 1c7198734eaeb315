#pragma once

#include <string_view>

namespace rulecalc::batch {

// True when a run-time text (GBK) is one of the library's run-time error
// messages (a stack overflow, a variable without value) rather than the
// explanation of a false result.
bool IsRunError(std::string_view runtimeText);

}  // namespace rulecalc::batch
