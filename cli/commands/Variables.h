#pragma once

#include <string>
#include <vector>

#include "calc/Variable.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

// The variables written as NAME=VALUE arguments, in GBK. A value without a
// type suffix is numeric when it is empty or reads as a number, else text.
std::vector<SVariable> VariablesFromArguments(const std::vector<std::string>& arguments, TTextCodec& codec,
                                              char decimalSeparator);

}  // namespace rulecalc::cli
