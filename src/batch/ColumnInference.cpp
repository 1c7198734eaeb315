#include "batch/ColumnInference.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "batch/WrittenValues.h"
#include "batch/calc/ValueKind.h"

namespace rulecalc::batch {

namespace {

constexpr std::size_t kExamples = 3;
constexpr std::size_t kDigitsANumberKeeps = 15;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit); }

// "007", "110101199003071234", "11010119900307123X": the digits a number would lose.
bool LooksLikeIdentifier(std::string_view value) {
  if (AllDigits(value)) return (value.size() > 1 && value.front() == '0') || value.size() > kDigitsANumberKeeps;
  return value.size() > 1 && (value.back() == 'X' || value.back() == 'x') && AllDigits(value.substr(0, value.size() - 1));
}

void AddExample(std::vector<std::pair<std::uint64_t, std::string>>& examples, std::uint64_t row, const std::string& value) {
  if (examples.size() < kExamples) examples.emplace_back(row, value);
}

void AppendExamples(std::vector<std::pair<std::uint64_t, std::string>>& examples,
                    const std::vector<std::pair<std::uint64_t, std::string>>& later, std::uint64_t rowsBefore) {
  for (const auto& [row, value] : later) AddExample(examples, row + rowsBefore, value);
}

// "12,345.00", "￥1,200", "$12": the currency signs looked for, besides none.
constexpr const char* kCurrencies[] = {"", "\xa3\xa4", "$"};

// A text that would be a number but for its thousands separators or currency sign.
void ObservePictured(const std::string& value, SColumnEvidence& seen) {
  for (const char* currency : kCurrencies) {
    SNumberPicture picture;
    picture.GbkCurrency = currency;
    picture.Grouped = true;
    if (!ReadPictured(value, picture, '.')) continue;
    ++seen.Pictured;
    if (seen.GbkCurrency.empty()) seen.GbkCurrency = currency;
    const std::size_t point = value.rfind('.');
    if (point != std::string::npos) seen.MostDecimals = std::min(std::max(seen.MostDecimals, value.size() - point - 1), kMostDecimalsSeen);
    return;
  }
}

void ObserveDate(const std::string& value, SColumnEvidence& seen) {
  const std::vector<SDateFormat>& formats = CommonDateFormats();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (!ReadDateAs(value, formats[i])) continue;
    ++seen.Dates;
    seen.DateForms |= 1u << i;
    return;
  }
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A word of a name (IDNO, CUST_ID, PHONE-2, ZIPCODE) that names identifiers.
bool IdentifierWord(const std::string& word) {
  for (const char* part : {"ID", "NO", "PHONE", "TEL", "CODE"}) {
    const std::string_view p(part);
    if (word.size() < p.size()) continue;
    if (word.compare(word.size() - p.size(), p.size(), p) == 0) return true;
    if (p != "NO" && word.compare(0, p.size(), p) == 0) return true;
  }
  return false;
}

bool NamedLikeIdentifiers(const std::string& gbkName) {
  std::string word;
  for (char c : FoldedName(gbkName) + ' ') {
    if (IsLetter(c)) {
      word += c;
      continue;
    }
    if (IdentifierWord(word)) return true;
    word.clear();
  }
  return false;
}

bool HoldsIdentifiers(const SColumn& column, const SColumnEvidence& seen) {
  if (seen.Identifiers > 0) return true;
  return seen.Measures == 0 && (NamedLikeIdentifiers(column.GbkName) || NamedLikeIdentifiers(column.GbkDataName));
}

std::string Examples(const std::vector<std::pair<std::uint64_t, std::string>>& examples, std::uint64_t count,
                     TTextCodec& output) {
  std::string text;
  for (const auto& [row, value] : examples) {
    text += " row " + std::to_string(row) + " \"" + output.FromGbkShowingControls(value) + "\"";
  }
  if (count > examples.size()) text += " ...";
  return text;
}

// The header cell that declares the column type: "IDNO:text", "证件号=IDNO:text",
// quoted as a CSV field when it holds a comma ("AMOUNT:num(#,##0.00)").
std::string Declaration(const SColumn& column, const char* type) {
  const std::string cell = column.DataName + (column.GbkName == column.GbkDataName ? "" : "=" + column.Name) + type;
  return cell.find(',') == std::string::npos ? cell : "\"" + cell + "\"";
}

// A column of numbers with a few texts among them.
std::string MixedColumnNotice(const SColumn& column, const SColumnEvidence& seen, const std::string& dataPath,
                              TTextCodec& output) {
  std::string notice = dataPath + ": column " + column.DataName + " is read as text because " +
                       std::to_string(seen.Texts) + " of its " + std::to_string(seen.Texts + seen.Numbers) +
                       " values are not numbers:" + Examples(seen.FirstTexts, seen.Texts, output);
  if (HoldsIdentifiers(column, seen)) {
    return notice + "\n  they look like identifiers: declare it as " + Declaration(column, ":text") +
           " in the header, which keeps their leading zeros and a trailing X\n";
  }
  return notice + "\n  declare it as " + Declaration(column, ":num") + " in the header (such values are then errors for "
                  "their row only), or name the texts that mean empty with --null-values\n";
}

// "￥#,##0.00": the picture that reads the column's texts.
std::string PictureSeen(const SColumnEvidence& seen, TTextCodec& output) {
  std::string picture = output.FromGbk(seen.GbkCurrency) + "#,##0";
  if (seen.MostDecimals > 0) picture += "." + std::string(seen.MostDecimals, '0');
  return picture;
}

// "yyyy-mm-dd|yyyy/m/d": the common formats the column's texts are written in.
std::string FormatsSeen(const SColumnEvidence& seen, TTextCodec& output) {
  std::string formats;
  const std::vector<SDateFormat>& common = CommonDateFormats();
  for (std::size_t i = 0; i < common.size(); ++i) {
    if (seen.DateForms & (1u << i)) formats += (formats.empty() ? "" : "|") + output.FromGbk(common[i].GbkWritten);
  }
  return formats;
}

// A column of numbers written with separators or a currency sign, or of dates.
std::string WrittenColumnNotice(const SColumn& column, const SColumnEvidence& seen, const std::string& dataPath,
                                TTextCodec& output) {
  const bool numbers = seen.Pictured == seen.Texts;
  const std::string what = numbers ? "numbers with thousands separators or a currency sign" : "dates";
  const std::string type = numbers ? ":num(" + PictureSeen(seen, output) + ")" : ":date(" + FormatsSeen(seen, output) + ")";
  return dataPath + ": column " + column.DataName + " is read as text because " + std::to_string(seen.Texts) +
         " of its " + std::to_string(seen.Texts + seen.Numbers) + " values are " + what + ":" +
         Examples(seen.FirstTexts, seen.Texts, output) + "\n  declare it as " + Declaration(column, type.c_str()) +
         " in the header, which reads them as " + (numbers ? "numbers" : "day numbers") + "\n";
}

// A column of numbers some of which would lose digits as numbers.
std::string IdentifierColumnNotice(const SColumn& column, const SColumnEvidence& seen, const std::string& dataPath,
                                   TTextCodec& output) {
  return dataPath + ": column " + column.DataName + " is read as numbers, but " + std::to_string(seen.Identifiers) +
         " of its values look like identifiers:" + Examples(seen.FirstIdentifiers, seen.Identifiers, output) +
         "\n  declare it as " + Declaration(column, ":text") + " in the header, which keeps their leading zeros and all " +
         "their digits\n";
}

}  // namespace

void SColumnEvidence::Append(const SColumnEvidence& later, std::uint64_t rowsBefore) {
  Numbers += later.Numbers;
  Texts += later.Texts;
  Identifiers += later.Identifiers;
  Measures += later.Measures;
  AppendExamples(FirstTexts, later.FirstTexts, rowsBefore);
  AppendExamples(FirstIdentifiers, later.FirstIdentifiers, rowsBefore);
  Pictured += later.Pictured;
  if (GbkCurrency.empty()) GbkCurrency = later.GbkCurrency;
  MostDecimals = std::max(MostDecimals, later.MostDecimals);
  Dates += later.Dates;
  DateForms |= later.DateForms;
}

void ObserveRow(const std::vector<std::string>& gbkValues, std::uint64_t row, std::vector<SColumn>& columns,
                std::vector<SColumnEvidence>& evidence, const TNullTexts& nulls, char decimalSeparator) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    SColumn& column = columns[i];
    if (column.Declared || nulls.Means(gbkValues[i])) continue;
    SColumnEvidence& seen = evidence[i];
    const std::string& value = gbkValues[i];
    if (LooksLikeIdentifier(value)) {
      ++seen.Identifiers;
      AddExample(seen.FirstIdentifiers, row, value);
    }
    if (InferValueType(value, decimalSeparator) == vtNumber) {
      ++seen.Numbers;
      if (!value.empty() && !AllDigits(value)) ++seen.Measures;
      continue;
    }
    column.Type = vtText;
    if (++seen.Texts <= kExamples) seen.FirstTexts.emplace_back(row, value);
    if (seen.Pictured + 1 == seen.Texts) ObservePictured(value, seen);
    if (seen.Dates + 1 == seen.Texts) ObserveDate(value, seen);
  }
}

std::vector<std::string> MixedColumnsNotices(const std::vector<SColumn>& columns,
                                             const std::vector<SColumnEvidence>& evidence, const std::string& dataPath,
                                             TTextCodec& output) {
  std::vector<std::string> notices;
  for (std::size_t i = 0; i < columns.size() && i < evidence.size(); ++i) {
    const SColumnEvidence& seen = evidence[i];
    if (columns[i].Declared) continue;
    if (seen.Texts > 0 && (seen.Pictured == seen.Texts || seen.Dates == seen.Texts)) {
      notices.push_back(WrittenColumnNotice(columns[i], seen, dataPath, output));
    } else if (seen.Texts > 0 && seen.Texts < seen.Numbers) {
      notices.push_back(MixedColumnNotice(columns[i], seen, dataPath, output));
    } else if (seen.Texts == 0 && seen.Identifiers > 0) {
      notices.push_back(IdentifierColumnNotice(columns[i], seen, dataPath, output));
    }
  }
  return notices;
}

}  // namespace rulecalc::batch
