#pragma once

#include <cstddef>
#include <string>

namespace rulecalc::batch {

// Bytes from the start of a data file that decide its encoding.
constexpr std::size_t kEncodingSample = std::size_t{1} << 20;

// The encoding to read an input file with: the one asked for, else the one
// its bytes suggest (UTF-8 when they are valid UTF-8 or start with a
// byte-order mark, GBK otherwise, said in notice). Asked for GBK for a file
// that is valid UTF-8 with non-ASCII text, it warns in notice: that is the
// mistake that turns every Chinese comparison false. option names the
// option that sets this file's encoding alone. notice is left as it is
// when there is nothing to say.
std::string InputEncoding(const std::string& bytes, bool truncated, const std::string& requested,
                          const std::string& path, const std::string& option, std::string& notice);

}  // namespace rulecalc::batch
