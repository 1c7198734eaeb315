#pragma once

#include <cstddef>
#include <string_view>

namespace rulecalc::cli {

// Length in bytes of the GBK character that starts at offset: two for a lead
// byte (0x81-0xFE) followed by another byte, else one.
std::size_t GbkCharacterLength(std::string_view gbk, std::size_t offset);

}  // namespace rulecalc::cli
