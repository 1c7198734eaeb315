#include "batch/text/EncodingNames.h"

#include <cctype>

namespace rulecalc::batch {

std::string FoldedEncodingName(const char* name) {
  std::string folded;
  for (const char* c = name; *c; ++c) {
    if (*c != '-' && *c != '_') folded += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  return folded;
}

bool NamesGbkFamily(const char* name) {
  const std::string folded = FoldedEncodingName(name);
  return folded == "GBK" || folded == "CP936" || folded == "GB2312" || folded == "GB18030";
}

bool NamesGbk(const char* name) {
  const std::string folded = FoldedEncodingName(name);
  return folded == "GBK" || folded == "CP936";
}

bool NamesUtf8(const char* name) { return FoldedEncodingName(name) == "UTF8"; }

}  // namespace rulecalc::batch
