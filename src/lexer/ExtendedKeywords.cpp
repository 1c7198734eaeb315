#include "lexer/ExtendedKeywords.h"

#include <cstddef>

namespace rulecalc {

namespace {

struct SKeyword {
  EMWordType Kind;
  std::string_view Spelling;
};

constexpr SKeyword kKeywords[] = {
    {wtNot, "NOT"},         {wtIn, "IN"},           {wtIs, "IS"},           {wtEmpty, "EMPTY"},
    {wtTrim, "TRIM"},       {wtUpper, "UPPER"},     {wtLower, "LOWER"},     {wtReplace, "REPLACE"},
    {wtTonumber, "TONUMBER"}, {wtRound, "ROUND"},   {wtAbs, "ABS"},         {wtMod, "MOD"},
    {wtLengthc, "LENGTHC"}, {wtSubstrc, "SUBSTRC"}, {wtFindstrc, "FINDSTRC"},
};

char Capital(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SpellsAsCapitals(std::string_view identifier, std::string_view capitals) {
  if (identifier.size() != capitals.size()) return false;
  for (std::size_t i = 0; i < identifier.size(); ++i)
    if (Capital(identifier[i]) != capitals[i]) return false;
  return true;
}

}  // namespace

EMWordType ExtendedKeywordKind(std::string_view identifier) {
  if (identifier.size() < 2 || identifier.size() > 8) return wtFieldName;
  for (const SKeyword& keyword : kKeywords)
    if (SpellsAsCapitals(identifier, keyword.Spelling)) return keyword.Kind;
  return wtFieldName;
}

std::string_view ExtendedKeywordSpelling(EMWordType kind) {
  for (const SKeyword& keyword : kKeywords)
    if (keyword.Kind == kind) return keyword.Spelling;
  return {};
}

}  // namespace rulecalc
