#include "batch/Columns.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "batch/Failures.h"
#include "batch/ColumnName.h"
#include "batch/calc/TypedName.h"
#include "batch/text/ControlCharacters.h"

namespace rulecalc::batch {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

void RefuseRepeatedNames(const std::vector<SColumn>& columns, const std::string& where) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (FoldedName(columns[i].GbkName) == FoldedName(columns[j].GbkName)) {
        throw TUsageError(where + "the header names the column '" + columns[i].Name + "' twice");
      }
    }
  }
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

// "yyyy-mm-dd", "dd.mm.yyyy", ...: the order of the first y, m and d, and the first other character.
SDateReading DateReadingOf(std::string_view format, std::string_view written) {
  SDateReading reading;
  for (char c : Lowercase(format)) {
    if ((c == 'y' || c == 'm' || c == 'd') && reading.Order.find(c) == std::string::npos) reading.Order += c;
    if (c != 'y' && c != 'm' && c != 'd' && reading.Separator == 0) reading.Separator = c;
  }
  if (reading.Order.size() != 3 || reading.Separator == 0) {
    throw TUsageError("'" + ShowingControls(written) + "': a date format is year, month and day with a separator, "
                      "as in :date(yyyy-mm-dd) or :date(dd.mm.yyyy)");
  }
  return reading;
}

// Splits off ":date" or ":date(format)" when the name ends with one.
std::optional<SDateReading> DateSuffix(std::string_view& written) {
  const std::size_t colon = written.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string suffix = Lowercase(written.substr(colon + 1));
  if (suffix.rfind("date", 0) != 0) return std::nullopt;
  const std::string_view whole = written;
  std::string_view rest = whole.substr(colon + 5);
  written = written.substr(0, colon);
  if (rest.empty()) return SDateReading{};
  if (rest.front() != '(' || rest.back() != ')') {
    throw TUsageError("'" + ShowingControls(whole) + "': write the date format in brackets, as in :date(yyyy-mm-dd)");
  }
  return DateReadingOf(rest.substr(1, rest.size() - 2), whole);
}

SColumn ColumnOf(std::string_view written, TTextCodec& data, TTextCodec& output) {
  SColumn column;
  column.Date = DateSuffix(written);
  const STypedName typed = ParseTypedName(written);
  if (column.Date && typed.Type) throw TUsageError("'" + ShowingControls(written) + "': one type per column");
  column.GbkName = data.ToGbk(typed.Name, "the column name '" + ShowingControls(typed.Name) + "'");
  column.Name = output.FromGbkShowingControls(column.GbkName);
  column.Declared = column.Date ? std::optional<EMValueType>(vtNumber) : typed.Type;
  column.Type = column.Declared.value_or(vtNumber);
  column.Unusable = WhyNotAName(column.GbkName);
  return column;
}

// Every mistake in a header's name says where it stands: file, line, column.
SColumn ColumnAt(std::string_view written, std::size_t index, const std::string& where, TTextCodec& data,
                 TTextCodec& output) {
  const std::string place = where + "column " + std::to_string(index + 1) + " of the header: ";
  try {
    return ColumnOf(written, data, output);
  } catch (const TUsageError& error) {
    throw TUsageError(place + error.what());
  } catch (const TConversionError& error) {
    throw TConversionError(place + error.what());
  }
}

}  // namespace

std::string FoldedName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::vector<SColumn> ColumnsOfHeader(const SCsvRecord& header, const std::string& path, TTextCodec& data,
                                     TTextCodec& output) {
  const std::string where = path + ":" + std::to_string(header.Line) + ": ";
  if (!header.Problem.empty()) throw TUsageError(where + "the header is malformed: " + header.Problem);
  std::vector<SColumn> columns;
  for (std::string_view written : header.Fields) {
    if (columns.empty() && written.substr(0, kUtf8Bom.size()) == kUtf8Bom) written.remove_prefix(kUtf8Bom.size());
    columns.push_back(ColumnAt(written, columns.size(), where, data, output));
  }
  RefuseRepeatedNames(columns, where);
  return columns;
}

bool AllDeclared(const std::vector<SColumn>& columns) {
  return std::all_of(columns.begin(), columns.end(), [](const SColumn& c) { return c.Declared.has_value(); });
}

std::size_t ColumnNamed(const std::vector<SColumn>& columns, const std::string& gbkName, const std::string& shown) {
  std::string names;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (FoldedName(columns[i].GbkName) == FoldedName(gbkName)) return i;
    names += (i == 0 ? "" : ", ") + columns[i].Name;
  }
  throw TUsageError("the data has no column '" + shown + "' (its columns: " + names + ")");
}

}  // namespace rulecalc::batch
