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

bool SameFolded(const std::string& a, const std::string& b) { return FoldedName(a) == FoldedName(b); }

bool IsMapped(const SColumn& column) { return column.GbkName != column.GbkDataName; }

// Two columns the rules would know by one name; a column is shown by its
// data name, with the variable it stands for when that differs.
std::string ShownColumn(const SColumn& column) {
  return "'" + column.DataName + "'" + (IsMapped(column) ? " (" + column.Name + ")" : "");
}

void RefuseClashingNames(const std::vector<SColumn>& columns, const std::string& where) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (SameFolded(columns[i].GbkDataName, columns[j].GbkDataName)) {
        throw TUsageError(where + "the header names the column '" + columns[i].DataName + "' twice");
      }
      if (SameFolded(columns[i].GbkName, columns[j].GbkName)) {
        throw TUsageError(where + "the columns " + ShownColumn(columns[j]) + " and " + ShownColumn(columns[i]) +
                          " would both be the variable " + columns[i].Name);
      }
    }
  }
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// "理赔金额=CLAIM_AMOUNT": the data's name, then the variable's after the last '='.
void SplitVariableName(SColumn& column, std::string_view written, TTextCodec& data, TTextCodec& output) {
  const std::size_t equals = written.rfind('=');
  const std::string_view dataName = Trimmed(written.substr(0, equals));
  column.GbkDataName = data.ToGbk(std::string(dataName), "the column name '" + ShowingControls(dataName) + "'");
  column.DataName = output.FromGbkShowingControls(column.GbkDataName);
  if (equals == std::string_view::npos) {
    column.GbkName = column.GbkDataName;
    column.Name = column.DataName;
    return;
  }
  const std::string_view variable = Trimmed(written.substr(equals + 1));
  column.GbkName = data.ToGbk(std::string(variable), "the variable name '" + ShowingControls(variable) + "'");
  column.Name = output.FromGbkShowingControls(column.GbkName);
  if (dataName.empty()) throw TUsageError("'" + ShowingControls(written) + "': the column name before '=' is missing");
  const std::string why = WhyNotAName(column.GbkName, ELanguage::Classic);
  if (!why.empty()) throw TUsageError("'" + ShowingControls(written) + "': no rule can name " + column.Name + ": " + why);
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

// "yyyy-mm-dd", "dd.mm.yyyy", ...: the order of the first y, m and d, and the first other character.
void CheckOrderAndSeparator(std::string_view format, std::string_view written, SDateReading& reading) {
  SDateReading first;
  for (char c : Lowercase(format)) {
    if ((c == 'y' || c == 'm' || c == 'd') && first.Order.find(c) == std::string::npos) first.Order += c;
    if (c != 'y' && c != 'm' && c != 'd' && first.Separator == 0) first.Separator = c;
  }
  if (first.Order.size() != 3 || first.Separator == 0) {
    throw TUsageError("'" + ShowingControls(written) + "': a date format is year, month and day with a separator, "
                      "as in :date(yyyy-mm-dd) or :date(dd.mm.yyyy), and a time of day hh:nn or hh:nn:ss after it");
  }
  if (reading.Order.empty()) {
    reading.Order = first.Order;
    reading.Separator = first.Separator;
  }
}

// "yyyy-mm-dd|yyyy/m/d|yyyy年m月d日": formats tried in order.
SDateReading DateReadingOf(std::string_view formats, std::string_view written, TTextCodec& data) {
  SDateReading reading;
  reading.GbkWritten = data.ToGbk(std::string(formats), "the date format '" + ShowingControls(formats) + "'");
  std::string_view rest = reading.GbkWritten;
  for (std::size_t bar = 0; bar != std::string_view::npos; rest.remove_prefix(bar + 1)) {
    bar = rest.find('|');
    CheckOrderAndSeparator(rest.substr(0, bar), written, reading);
    if (bar == std::string_view::npos) break;
  }
  std::optional<std::vector<SDateFormat>> parsed = DateFormatsOf(reading.GbkWritten);
  if (!parsed) {
    throw TUsageError("'" + ShowingControls(written) +
                      "': a date format names year, month and day once each (minutes are n, as in hh:nn)");
  }
  reading.Formats = std::move(*parsed);
  return reading;
}

// The colon of the type: "D:date(yyyy-mm-dd hh:nn)" has more in its brackets.
std::size_t TypeColon(std::string_view written) {
  const std::size_t open = written.empty() || written.back() != ')' ? std::string_view::npos : written.rfind('(');
  return written.rfind(':', open);
}

// Splits off ":type(argument)" when the name ends with one and gives the
// argument; nothing otherwise, with bare set for ":type" alone (left on the name).
std::optional<std::string_view> BracketedSuffix(std::string_view& written, std::string_view type, bool& bare) {
  bare = false;
  const std::size_t colon = TypeColon(written);
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string suffix = Lowercase(written.substr(colon + 1));
  if (suffix.rfind(type, 0) != 0) return std::nullopt;
  const std::string_view whole = written;
  const std::string_view rest = whole.substr(colon + 1 + type.size());
  if (rest.empty()) {
    bare = true;
    return std::nullopt;
  }
  if (rest.front() != '(' || rest.back() != ')') {
    if (type == "num") return std::nullopt;
    throw TUsageError("'" + ShowingControls(whole) + "': write the date format in brackets, as in :date(yyyy-mm-dd)");
  }
  written = written.substr(0, colon);
  return rest.substr(1, rest.size() - 2);
}

// Splits off ":date" or ":date(formats)" when the name ends with one.
std::optional<SDateReading> DateSuffix(std::string_view& written, TTextCodec& data) {
  const std::string_view whole = written;
  bool bare = false;
  const std::optional<std::string_view> formats = BracketedSuffix(written, "date", bare);
  if (bare) {
    written = written.substr(0, TypeColon(written));
    return SDateReading{};
  }
  if (!formats) return std::nullopt;
  return DateReadingOf(*formats, whole, data);
}

// Splits off ":num(picture)" when the name ends with one.
std::optional<SNumberPicture> PictureSuffix(std::string_view& written, TTextCodec& data) {
  const std::string_view whole = written;
  bool bare = false;
  const std::optional<std::string_view> picture = BracketedSuffix(written, "num", bare);
  if (!picture) return std::nullopt;
  const std::string gbk = data.ToGbk(std::string(*picture), "the number picture '" + ShowingControls(*picture) + "'");
  std::optional<SNumberPicture> parsed = NumberPictureOf(gbk);
  if (!parsed) {
    throw TUsageError("'" + ShowingControls(whole) + "': a number picture is digits as #, 0 and ',', a point and "
                      "decimals, and a currency sign before them, as in :num(#,##0.00), :num(0.00) or :num(,)");
  }
  return parsed;
}

SColumn ColumnOf(std::string_view written, TTextCodec& data, TTextCodec& output) {
  SColumn column;
  column.Date = DateSuffix(written, data);
  if (!column.Date) column.Picture = PictureSuffix(written, data);
  const STypedName typed = ParseTypedName(written);
  const bool numeric = column.Date || column.Picture;
  if (numeric && typed.Type) throw TUsageError("'" + ShowingControls(written) + "': one type per column");
  SplitVariableName(column, typed.Name, data, output);
  column.Declared = numeric ? std::optional<EMValueType>(vtNumber) : typed.Type;
  column.Type = column.Declared.value_or(vtNumber);
  column.Unusable = WhyNotAName(column.GbkName, ELanguage::Classic);
  return column;
}

// The column takes the type an @column line declares.
void DeclareAs(SColumn& column, const SColumn& typing) {
  column.Declared = typing.Declared;
  column.Date = typing.Date;
  column.Picture = typing.Picture;
  column.Type = typing.Type;
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
  RefuseClashingNames(columns, where);
  return columns;
}

void MapColumns(std::vector<SColumn>& columns, const std::vector<SColumnMapping>& mappings, TTextCodec& output) {
  for (const SColumnMapping& mapping : mappings) {
    const std::string shown = output.FromGbkShowingControls(mapping.GbkDataName);
    const std::string variable = output.FromGbkShowingControls(mapping.GbkVariable);
    const std::string line = mapping.Where + "@column " + shown + " " + variable + ": ";
    const auto named = [&mapping](const SColumn& c) { return SameFolded(c.GbkDataName, mapping.GbkDataName); };
    const auto column = std::find_if(columns.begin(), columns.end(), named);
    if (column == columns.end()) {
      throw TUsageError(line + "the header has no column '" + shown + "'");
    }
    if (IsMapped(*column) && !SameFolded(column->GbkName, mapping.GbkVariable)) {
      throw TUsageError(line + "the header names the column '" + shown + "' " + column->Name + " already");
    }
    if (mapping.Typing && column->Declared) {
      throw TUsageError(line + "the header declares the type of the column '" + shown + "' already");
    }
    column->GbkName = mapping.GbkVariable;
    column->Name = variable;
    column->Unusable.clear();
    if (mapping.Typing) DeclareAs(*column, *mapping.Typing);
  }
  if (!mappings.empty()) RefuseClashingNames(columns, mappings.front().Where);
}

void MarkNamesOfOtherLanguage(std::vector<SColumn>& columns, ELanguage language) {
  for (SColumn& column : columns) {
    if (column.Unusable.empty()) column.Unusable = WhyNotAName(column.GbkName, language);
  }
}

SColumn TypedColumnOf(std::string_view written, TTextCodec& codec) { return ColumnOf(written, codec, codec); }

bool AllDeclared(const std::vector<SColumn>& columns) {
  return std::all_of(columns.begin(), columns.end(), [](const SColumn& c) { return c.Declared.has_value(); });
}

std::size_t ColumnNamed(const std::vector<SColumn>& columns, const std::string& gbkName, const std::string& shown) {
  std::string names;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SameFolded(columns[i].GbkName, gbkName)) return i;
    names += (i == 0 ? "" : ", ") + columns[i].DataName;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (SameFolded(columns[i].GbkDataName, gbkName)) return i;
  }
  throw TUsageError("the data has no column '" + shown + "' (its columns: " + names + ")");
}

}  // namespace rulecalc::batch
