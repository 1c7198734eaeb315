#include "batch/xlsx/SheetReader.h"

#include <charconv>
#include <cstring>
#include <map>
#include <vector>

#include "batch/CsvReader.h"
#include "batch/Failures.h"
#include "batch/xlsx/ZipXml.h"
#include "vm/Calendar.h"

namespace rulecalc::batch {

namespace {

constexpr std::uint64_t kMaxRows = 1048576;
constexpr std::size_t kMaxColumns = 16384;
constexpr std::size_t kMaxCellBytes = TCsvReader::kMaxRecordBytes;
constexpr std::uint64_t kMaxSharedStringBytes = std::uint64_t{512} << 20;
// A header cell without a type gets room for one, filled once the sheet is read.
constexpr std::string_view kTextType = ":text";

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ---- The workbook: its sheets, their parts, the date system ----------------------------

struct SSheetEntry {
  std::string Name;
  std::string Relation;
};

class TWorkbookHandler : public TXmlHandler {
 public:
  void Start(std::string_view name, const char** attributes) override {
    if (name == "sheet") {
      const char* sheet = AttributeNamed(attributes, "name");
      const char* relation = AttributeNamed(attributes, "id");
      Sheets.push_back(SSheetEntry{sheet ? sheet : "", relation ? relation : ""});
    } else if (name == "workbookPr") {
      const char* system = AttributeNamed(attributes, "date1904");
      System1904 = system && (std::strcmp(system, "1") == 0 || std::strcmp(system, "true") == 0);
    }
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}

  std::vector<SSheetEntry> Sheets;
  bool System1904 = false;
};

struct SRelation {
  std::string Target;
  std::string Type;
};

class TRelationsHandler : public TXmlHandler {
 public:
  void Start(std::string_view name, const char** attributes) override {
    if (name != "Relationship") return;
    const char* id = AttributeNamed(attributes, "Id");
    const char* target = AttributeNamed(attributes, "Target");
    const char* type = AttributeNamed(attributes, "Type");
    if (id && target) Relations[id] = SRelation{PartOf(target), type ? type : ""};
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}

  // The part a relation of the workbook names: from the archive's root for
  // "/xl/...", else from the workbook's folder.
  static std::string PartOf(const std::string& target) {
    return target.rfind('/', 0) == 0 ? target.substr(1) : "xl/" + target;
  }

  std::string PartOfType(std::string_view typeEnd, const std::string& fallback) const {
    for (const auto& [id, relation] : Relations) {
      if (EndsWith(relation.Type, typeEnd)) return relation.Target;
    }
    return fallback;
  }

  std::map<std::string, SRelation> Relations;
};

// ---- Styles: which cell styles show a number as a date -------------------------------

// Built-in number formats that show dates or times (the CJK ones included).
bool IsBuiltInDateFormat(long id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

// A format code shows a date when, outside quoted text, escaped characters
// and [colour] or [condition] sections, it holds y, m, d, h or s.
bool IsDateFormatCode(const std::string& code) {
  bool quoted = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      const std::size_t close = code.find(']', i);
      if (close == std::string::npos) return false;
      i = close;
    } else if (std::strchr("yYmMdDhHsS", c) && c != 0) {
      return code.compare(0, 7, "General") != 0;
    }
  }
  return false;
}

class TStylesHandler : public TXmlHandler {
 public:
  void Start(std::string_view name, const char** attributes) override {
    if (name == "numFmt") {
      const char* id = AttributeNamed(attributes, "numFmtId");
      const char* code = AttributeNamed(attributes, "formatCode");
      if (id && code) Codes[std::atol(id)] = code;
    } else if (name == "cellXfs") {
      InCellStyles = true;
    } else if (name == "xf" && InCellStyles) {
      const char* id = AttributeNamed(attributes, "numFmtId");
      Formats.push_back(id ? std::atol(id) : 0);
    }
  }
  void End(std::string_view name) override {
    if (name == "cellXfs") InCellStyles = false;
  }
  void Text(std::string_view) override {}

  std::vector<bool> DateStyles() const {
    std::vector<bool> dates;
    for (long id : Formats) {
      const auto code = Codes.find(id);
      dates.push_back(code != Codes.end() ? IsDateFormatCode(code->second) : IsBuiltInDateFormat(id));
    }
    return dates;
  }

 private:
  std::map<long, std::string> Codes;
  std::vector<long> Formats;
  bool InCellStyles = false;
};

// ---- Texts: the shared strings, and a cell's own -------------------------------------

// The text of <t> elements in a string item, leaving out phonetic runs (<rPh>).
class TRunText {
 public:
  void Start(std::string_view name) {
    if (name == "rPh") ++InPhonetic;
    if (name == "t" && InPhonetic == 0) InText = true;
  }
  void End(std::string_view name) {
    if (name == "rPh" && InPhonetic > 0) --InPhonetic;
    if (name == "t") InText = false;
  }
  // Keeps text; false when the item grows past kMaxCellBytes.
  bool Add(std::string& item, std::string_view text) const {
    if (InText) item.append(text);
    return item.size() <= kMaxCellBytes;
  }
  void Reset() { InPhonetic = 0, InText = false; }

 private:
  int InPhonetic = 0;
  bool InText = false;
};

class TSharedStringsHandler : public TXmlHandler {
 public:
  void Start(std::string_view name, const char**) override {
    if (name == "si") {
      InItem = true;
      Item.clear();
      Runs.Reset();
    } else if (InItem) {
      Runs.Start(name);
    }
  }
  void End(std::string_view name) override {
    if (name == "si") {
      Bytes += Item.size();
      if (Bytes > kMaxSharedStringBytes) Problem = "the shared strings take more than 512 MiB";
      Strings.push_back(Item);
      InItem = false;
    } else if (InItem) {
      Runs.End(name);
    }
  }
  void Text(std::string_view text) override {
    if (InItem && !Runs.Add(Item, text)) {
      Problem = "shared string " + std::to_string(Strings.size()) + " is longer than 1 MiB";
    }
  }

  std::vector<std::string> Strings;

 private:
  std::string Item;
  TRunText Runs;
  bool InItem = false;
  std::uint64_t Bytes = 0;
};

// ---- Cells -----------------------------------------------------------------------------

std::string ColumnLetters(std::size_t column) {
  std::string letters;
  for (std::size_t n = column + 1; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  return letters;
}

// The column of a reference such as "AB12", from 0; false when it has none.
bool ColumnOfReference(const char* reference, std::size_t& column) {
  std::size_t n = 0;
  const char* at = reference;
  for (; *at >= 'A' && *at <= 'Z'; ++at) {
    n = n * 26 + static_cast<std::size_t>(*at - 'A' + 1);
    if (n > kMaxColumns) return false;
  }
  if (at == reference) return false;
  column = n - 1;
  return true;
}

bool ReadDouble(std::string_view text, double& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

std::string NumberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// An ISO 8601 date and time ("2024-03-05T10:30:00") as a day number.
bool DayNumberOfIso(const std::string& text, double& day) {
  int year = 0, month = 0, date = 0, hour = 0, minute = 0;
  double second = 0;
  const int parts = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf", &year, &month, &date, &hour, &minute, &second);
  if (parts < 3 || !IsCalendarDate(year, month, date)) return false;
  day = static_cast<double>(DayNumberOf(SCalendarDate{year, month, date})) + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

// One cell as it is read: its column, type, style and the text of its value.
struct SCell {
  std::size_t Column = 0;
  std::string Type;
  std::size_t Style = 0;
  std::string Value;
  bool InValue = false;
  bool InInline = false;
  TRunText Runs;
};

class TSheetHandler : public TXmlHandler {
 public:
  TSheetHandler(const SSheetRequest& request, const std::string& sheet, std::FILE* out,
                const std::vector<std::string>& strings, const std::vector<bool>& dateStyles, bool system1904)
      : Request(request), Sheet(sheet), Out(out), Strings(strings), DateStyles(dateStyles), System1904(system1904) {}

  void Start(std::string_view name, const char** attributes) override {
    if (name == "row") {
      StartRow(AttributeNamed(attributes, "r"));
    } else if (name == "c") {
      StartCell(AttributeNamed(attributes, "r"), AttributeNamed(attributes, "t"), AttributeNamed(attributes, "s"));
    } else if (name == "v") {
      Cell.InValue = true;
    } else if (name == "is") {
      Cell.InInline = true;
    } else if (Cell.InInline) {
      Cell.Runs.Start(name);
    }
  }

  void End(std::string_view name) override {
    if (name == "row") {
      EndRow();
    } else if (name == "c") {
      EndCell();
    } else if (name == "v") {
      Cell.InValue = false;
    } else if (name == "is") {
      Cell.InInline = false;
    } else if (Cell.InInline) {
      Cell.Runs.End(name);
    }
  }

  void Text(std::string_view text) override {
    if (Cell.InValue) Cell.Value.append(text);
    const bool fits = Cell.InInline ? Cell.Runs.Add(Cell.Value, text) : Cell.Value.size() <= kMaxCellBytes;
    if (!fits) Fail("cell " + CellName(), "holds more than 1 MiB");
  }

 private:
  void Fail(const std::string& where, const std::string& why) {
    if (Problem.empty()) Problem = "sheet '" + Sheet + "', " + where + ": " + why;
  }

  std::string CellName() const { return ColumnLetters(Cell.Column) + std::to_string(Row); }

  void StartRow(const char* number) {
    const std::uint64_t row = number ? std::strtoull(number, nullptr, 10) : Row + 1;
    if (row <= Row || row > kMaxRows) {
      return Fail("row " + std::to_string(row), row > kMaxRows ? "past the last row a sheet can have"
                                                                 : "out of order");
    }
    for (; Row + 1 < row; ++Row) Write("\n");
    Row = row;
    Cells.clear();
    NextColumn = 0;
    RowBytes = 0;
  }

  void StartCell(const char* reference, const char* type, const char* style) {
    Cell.Column = NextColumn;
    if (reference && !ColumnOfReference(reference, Cell.Column)) {
      return Fail("cell '" + std::string(reference) + "'", "not a cell of a sheet");
    }
    if (Cell.Column < NextColumn) return Fail("cell " + CellName(), "out of order");
    Cell.Type = type ? type : "n";
    Cell.Style = style ? std::strtoul(style, nullptr, 10) : 0;
    Cell.Value.clear();
    Cell.InValue = Cell.InInline = false;
    Cell.Runs.Reset();
  }

  void EndCell() {
    std::string value = CellValue();
    if (!Problem.empty()) return;
    NextColumn = Cell.Column + 1;
    if (value.empty()) return;
    if (Row > Request.HeaderRow) CountKind(Cell.Column, Cell.Type);
    RowBytes += value.size() + 1;
    if (RowBytes > kMaxCellBytes) return Fail("row " + std::to_string(Row), "holds more than 1 MiB");
    Cells.resize(Cell.Column + 1);
    Cells[Cell.Column] = std::move(value);
  }

  // The cell's value as the CSV holds it.
  std::string CellValue() {
    const std::string& type = Cell.Type;
    if (type == "inlineStr" || type == "str" || type == "e") return Cell.Value;
    if (type == "b") return Cell.Value == "1" ? "1" : Cell.Value.empty() ? "" : "0";
    if (type == "s") return SharedString();
    if (Cell.Value.empty()) return {};
    double day = 0;
    if (type == "d") {
      if (DayNumberOfIso(Cell.Value, day)) return NumberText(day);
      Fail("cell " + CellName(), "'" + Cell.Value + "' is no date");
      return {};
    }
    double number = 0;
    if (!ReadDouble(Cell.Value, number)) {
      Fail("cell " + CellName(), "'" + Cell.Value + "' is no number");
      return {};
    }
    if (Cell.Style >= DateStyles.size() || !DateStyles[Cell.Style]) return NumberText(number);
    if (DayNumberOfSerial(number, System1904, day)) return NumberText(day);
    Fail("cell " + CellName(), "the date 29 February 1900, which the calendar lacks");
    return {};
  }

  std::string SharedString() {
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(Cell.Value.data(), Cell.Value.data() + Cell.Value.size(), index);
    if (error != std::errc() || end != Cell.Value.data() + Cell.Value.size() || index >= Strings.size()) {
      Fail("cell " + CellName(), "shared string '" + Cell.Value + "', which the workbook lacks");
      return {};
    }
    return Strings[index];
  }

  // The kinds of the values below the header, per column: texts and the rest.
  void CountKind(std::size_t column, const std::string& type) {
    if (type == "e") return;
    if (Kinds.size() <= column) Kinds.resize(column + 1);
    const bool text = type == "s" || type == "inlineStr" || type == "str";
    (text ? Kinds[column].first : Kinds[column].second) += 1;
  }

  // The header line: a name with no type has room after it for ":text".
  std::string HeaderLine(bool settled) const {
    std::string line;
    for (std::size_t i = 0; i < Header.size(); ++i) {
      if (i > 0) line += ',';
      const std::string field = CsvField(Header[i]);
      line += field;
      if (Header[i].empty() || field != Header[i] || Header[i].find(':') != std::string::npos) continue;
      const bool texts = settled && i < Kinds.size() && Kinds[i].first > 0 && Kinds[i].second == 0;
      line += texts ? std::string(kTextType) : std::string(kTextType.size(), ' ');
    }
    return line + '\n';
  }

  void EndRow() {
    if (Row == Request.HeaderRow) {
      Width = Cells.size();
      Header = Cells;
      HeaderAt = ftello(Out);
      return Write(HeaderLine(false));
    }
    if (Cells.empty()) return Write("\n");
    if (Row > Request.HeaderRow && Cells.size() < Width) Cells.resize(Width);
    std::string line;
    for (std::size_t i = 0; i < Cells.size(); ++i) {
      if (i > 0) line += ',';
      line += CsvField(Cells[i]);
    }
    line += '\n';
    Write(line);
  }

  void Write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), Out) != text.size()) {
      Fail("row " + std::to_string(Row), "cannot be kept in a temporary file (is the disk full?)");
    }
  }

  const SSheetRequest& Request;
  const std::string& Sheet;
  std::FILE* Out;
  const std::vector<std::string>& Strings;
  const std::vector<bool>& DateStyles;
  bool System1904;
  std::uint64_t Row = 0;
  std::size_t NextColumn = 0;
  std::size_t RowBytes = 0;
  std::size_t Width = 0;
  std::vector<std::string> Cells;
  SCell Cell;
  std::vector<std::string> Header;
  off_t HeaderAt = -1;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Kinds;  // per column: text values, other values

 public:
  // A column whose values are all texts in the sheet is declared text, as
  // the sheet types it (digits in a text cell stay a text).
  void SettleHeader() {
    if (HeaderAt < 0 || !Problem.empty()) return;
    if (fseeko(Out, HeaderAt, SEEK_SET) != 0) return Fail("the header", "cannot be settled in the temporary file");
    Write(HeaderLine(true));
    if (fseeko(Out, 0, SEEK_END) != 0) Fail("the header", "cannot be settled in the temporary file");
  }
};

// The sheet asked for (the first when none is named); throws naming the sheets there are.
const SSheetEntry& ChosenSheet(const std::vector<SSheetEntry>& sheets, const SSheetRequest& request) {
  if (sheets.empty()) throw TUsageError("the workbook '" + request.Path + "' has no sheet");
  if (request.Sheet.empty()) return sheets.front();
  std::string names;
  for (const SSheetEntry& sheet : sheets) {
    if (sheet.Name == request.Sheet) return sheet;
    names += (names.empty() ? "'" : ", '") + sheet.Name + "'";
  }
  throw TUsageError("the workbook '" + request.Path + "' has no sheet '" + request.Sheet + "' (it has " + names + ")");
}

}  // namespace

bool DayNumberOfSerial(double serial, bool system1904, double& day) {
  if (system1904) {
    day = serial + 1462;
  } else if (serial >= 60 && serial < 61) {
    return false;
  } else {
    day = serial >= 1 && serial < 60 ? serial + 1 : serial;
  }
  return true;
}

void WriteSheetAsCsv(int descriptor, const SSheetRequest& request, std::FILE* out) {
  const TZipArchive archive(descriptor, request.Path);
  TWorkbookHandler workbook;
  archive.Read("xl/workbook.xml", workbook);
  TRelationsHandler relations;
  archive.Read("xl/_rels/workbook.xml.rels", relations);
  const SSheetEntry& sheet = ChosenSheet(workbook.Sheets, request);
  const auto relation = relations.Relations.find(sheet.Relation);
  if (relation == relations.Relations.end()) {
    throw TUsageError("the workbook '" + request.Path + "' lacks the part of its sheet '" + sheet.Name + "'");
  }
  TSharedStringsHandler strings;
  const std::string stringsPart = relations.PartOfType("/sharedStrings", "xl/sharedStrings.xml");
  if (archive.Has(stringsPart)) archive.Read(stringsPart, strings);
  TStylesHandler styles;
  const std::string stylesPart = relations.PartOfType("/styles", "xl/styles.xml");
  if (archive.Has(stylesPart)) archive.Read(stylesPart, styles);
  const std::vector<bool> dateStyles = styles.DateStyles();
  TSheetHandler rows(request, sheet.Name, out, strings.Strings, dateStyles, workbook.System1904);
  archive.Read(relation->second.Target, rows);
  rows.SettleHeader();
  if (!rows.Problem.empty()) throw TUsageError("'" + request.Path + "': " + rows.Problem);
}

}  // namespace rulecalc::batch
