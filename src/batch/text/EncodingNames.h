#pragma once

#include <string>

namespace rulecalc::batch {

// Upper case, without '-' and '_': "utf-8" and "UTF8" are one name.
std::string FoldedEncodingName(const char* name);

// Whether an encoding name names GBK or a superset of it written the same
// way in its double-byte part ("GBK", "CP936", "GB2312", "GB18030"); GBK
// itself ("GBK", "CP936"); UTF-8.
bool NamesGbkFamily(const char* name);
bool NamesGbk(const char* name);
bool NamesUtf8(const char* name);

}  // namespace rulecalc::batch
