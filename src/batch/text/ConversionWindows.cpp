#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <map>

#include "batch/Failures.h"
#include "batch/text/Conversion.h"

namespace rulecalc::batch {

namespace {

constexpr UINT kUtf8 = 65001;
constexpr UINT kGb18030 = 54936;

// Upper case, without '-', '_' and spaces: "utf-8" and "UTF8" are one name.
std::string Folded(const std::string& name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_' && c != ' ') folded += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return folded;
}

// The number after a prefix such as "CP" or "WINDOWS", or 0.
UINT NumberAfter(const std::string& folded, const std::string& prefix) {
  if (folded.compare(0, prefix.size(), prefix) != 0 || folded.size() == prefix.size()) return 0;
  char* end = nullptr;
  const unsigned long number = std::strtoul(folded.c_str() + prefix.size(), &end, 10);
  return *end == '\0' && number < 65536 ? static_cast<UINT>(number) : 0;
}

// The code page of an encoding name, or 0 for a name the system lacks.
UINT CodePageNamed(const std::string& name) {
  static const std::map<std::string, UINT> kNamed = {
      {"UTF8", kUtf8},       {"GBK", 936},        {"GB2312", 936},      {"EUCCN", 936},
      {"GB18030", kGb18030}, {"BIG5", 950},       {"SHIFTJIS", 932},    {"SJIS", 932},
      {"EUCJP", 20932},      {"EUCKR", 51949},    {"ASCII", 20127},     {"USASCII", 20127},
      {"ANSIX3.41968", 20127}, {"ISO88591", 28591}, {"LATIN1", 28591}, {"ISO885915", 28605}};
  const std::string folded = Folded(name);
  const auto known = kNamed.find(folded);
  UINT page = known != kNamed.end() ? known->second : 0;
  for (const char* prefix : {"CP", "WINDOWS", "MS", "IBM", ""}) {
    if (page == 0) page = NumberAfter(folded, prefix);
  }
  return page != 0 && IsValidCodePage(page) ? page : 0;
}

// The bytes of the character that starts at text[i] in the code page (what
// a conversion that fails is retried by, one character at a time).
std::size_t CharacterLength(UINT page, std::string_view text, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  std::size_t length = 1;
  if (page == kUtf8) {
    length = at(0) >= 0xF0 && at(0) <= 0xF4 ? 4 : at(0) >= 0xE0 && at(0) <= 0xEF ? 3 : at(0) >= 0xC2 && at(0) < 0xE0 ? 2 : 1;
  } else if (page == kGb18030 && at(0) >= 0x81) {
    const bool four = i + 4 <= text.size() && at(1) >= 0x30 && at(1) <= 0x39;
    length = four ? 4 : 2;
  } else if (IsDBCSLeadByteEx(page, at(0))) {
    length = 2;
  }
  return std::min(length, text.size() - i);
}

// The code pages the system codes by rules rather than tables take no
// flags when decoding (GB18030 is one of those that do).
bool DecodesWithFlags(UINT page) { return page == kGb18030 || page < 50000 || page >= 60000; }

// UTF-8 and GB18030 hold every character: encoding into them takes neither
// the flags nor the question whether a character was missing.
bool HoldsEveryCharacter(UINT page) { return page == kUtf8 || page == kGb18030; }

}  // namespace

struct TConversion::SSystem {
  UINT From;
  UINT To;
  bool Lenient;
  std::wstring Wide;  // the text between the two steps

  // Converts all of in or nothing: false when a byte of it is not valid in
  // From or a character is missing in To (and not Lenient).
  bool Whole(std::string_view in, std::string& out);
};

bool TConversion::SSystem::Whole(std::string_view in, std::string& out) {
  if (in.empty()) return true;
  const int inLength = static_cast<int>(in.size());
  const DWORD decodeFlags = DecodesWithFlags(From) ? MB_ERR_INVALID_CHARS : 0;
  const int wide = MultiByteToWideChar(From, decodeFlags, in.data(), inLength, nullptr, 0);
  if (wide <= 0) return false;
  Wide.resize(static_cast<std::size_t>(wide));
  MultiByteToWideChar(From, decodeFlags, in.data(), inLength, &Wide[0], wide);
  const bool complete = HoldsEveryCharacter(To);
  const DWORD encodeFlags = complete || Lenient ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL missing = FALSE;
  BOOL* missingAt = complete ? nullptr : &missing;
  const int bytes = WideCharToMultiByte(To, encodeFlags, Wide.data(), wide, nullptr, 0, nullptr, missingAt);
  if (bytes <= 0 || (missing && !Lenient)) return false;
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(bytes));
  WideCharToMultiByte(To, encodeFlags, Wide.data(), wide, &out[start], bytes, nullptr, nullptr);
  return true;
}

TConversion::TConversion(const std::string& to, const std::string& from, bool lenient, const std::string& named) {
  const UINT toPage = CodePageNamed(to);
  const UINT fromPage = CodePageNamed(from);
  if (toPage == 0 || fromPage == 0) throw TUsageError("unknown encoding '" + named + "'");
  System.reset(new SSystem{fromPage, toPage, lenient, {}});
}

TConversion::~TConversion() = default;

std::size_t TConversion::Append(std::string_view in, std::string& out) {
  if (System->Whole(in, out)) return kAllConverted;
  for (std::size_t i = 0; i < in.size();) {
    const std::size_t length = CharacterLength(System->From, in, i);
    if (!System->Whole(in.substr(i, length), out)) return i;
    i += length;
  }
  return kAllConverted;
}

}  // namespace rulecalc::batch
