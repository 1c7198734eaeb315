#include "batch/xlsx/XlsxReport.h"

#include <unistd.h>

#include <cstdlib>
#include <xlsxwriter.h>

#include "batch/CsvReader.h"
#include "batch/Failures.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

namespace {

constexpr lxw_row_t kRowsPerSheet = 1048576;
constexpr std::size_t kMaxCellBytes = 32767;

class TXlsxReport : public TReport {
 public:
  TXlsxReport() : Codec("UTF-8") {}

  std::string Heading() override { return {}; }

  void AddVerdict(std::string& out, const SVerdict& verdict) override {
    const bool held = verdict.Evaluation->Outcome == EMOutcome::Held;
    out += std::to_string(verdict.Row);
    for (const std::string* gbk : {verdict.GbkKey, &verdict.Rule->GbkId, &verdict.Rule->GbkDescription}) {
      out += ',';
      if (gbk) out += CsvField(Codec.FromGbk(*gbk));
    }
    out += ',';
    out += OutcomeWord(verdict.Evaluation->Outcome);
    out += ',';
    if (!held) out += CsvField(Codec.FromGbk(verdict.Evaluation->Text));
    out += ',';
    out += CsvField(Codec.FromGbk(verdict.GbkValues));
    out += '\n';
  }

  std::string Summary(const std::vector<SRule>&, const SBatchSummary&) override { return {}; }

 private:
  TTextCodec Codec;
};

std::FILE* Spool() {
  std::FILE* file = std::tmpfile();
  if (!file) throw TUsageError("cannot keep the xlsx report's rows in a temporary file");
  return file;
}

void Append(std::FILE* file, const std::string& bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    throw TUsageError("cannot keep the xlsx report's rows in a temporary file (is the disk full?)");
  }
}

// A text as a cell holds it: at most kMaxCellBytes, cut at a character's start.
std::string CellText(const std::string& text) {
  if (text.size() <= kMaxCellBytes) return text;
  std::size_t end = kMaxCellBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// Writes the workbook; each call names what it made, and the first failure stops it.
class TWorkbookWriter {
 public:
  explicit TWorkbookWriter(const std::string& path) {
    lxw_workbook_options options{};
    options.constant_memory = 1;
    options.use_zip64 = 1;
    Book = workbook_new_opt(path.c_str(), &options);
    if (!Book) throw TUsageError("cannot make the xlsx report");
    Bold = workbook_add_format(Book);
    format_set_bold(Bold);
  }
  ~TWorkbookWriter() {
    if (Book) workbook_close(Book);
  }

  lxw_worksheet* Sheet(const char* name, const std::vector<std::string>& header) {
    lxw_worksheet* sheet = workbook_add_worksheet(Book, name);
    if (!sheet) throw TUsageError(std::string("cannot make the sheet '") + name + "' of the xlsx report");
    for (std::size_t i = 0; i < header.size(); ++i) Text(sheet, 0, i, header[i], Bold);
    worksheet_freeze_panes(sheet, 1, 0);
    return sheet;
  }

  void Text(lxw_worksheet* sheet, lxw_row_t row, std::size_t column, const std::string& text,
            lxw_format* format = nullptr) {
    if (text.empty()) return;
    Check(worksheet_write_string(sheet, row, static_cast<lxw_col_t>(column), CellText(text).c_str(), format));
  }

  void Number(lxw_worksheet* sheet, lxw_row_t row, std::size_t column, double number) {
    Check(worksheet_write_number(sheet, row, static_cast<lxw_col_t>(column), number, nullptr));
  }

  lxw_chart* Chart() { return workbook_add_chart(Book, LXW_CHART_BAR); }

  void Close() {
    const lxw_error error = workbook_close(Book);
    Book = nullptr;
    Check(error);
  }

  void Check(lxw_error error) const {
    if (error != LXW_NO_ERROR) throw TUsageError(std::string("cannot write the xlsx report: ") + lxw_strerror(error));
  }

 private:
  lxw_workbook* Book = nullptr;
  lxw_format* Bold = nullptr;
};

const std::vector<std::string> kSummaryHeader = {"rule", "description", "true", "false", "error"};
const std::vector<std::string> kVerdictsHeader = {"row", "key", "rule", "description", "result", "explanation", "values"};

// What was found before the first row, under the counts: kind, rule, text.
void WriteProblems(TWorkbookWriter& book, lxw_worksheet* sheet, lxw_row_t row, const std::vector<SRule>& rules,
                   const SBatchSummary& summary) {
  if (summary.Problems.empty()) return;
  TTextCodec utf8("UTF-8");
  book.Text(sheet, row++, 0, "problems");
  for (const SProblem& problem : summary.Problems) {
    book.Text(sheet, row, 0, ProblemKindWord(problem.Kind));
    if (problem.Rule && *problem.Rule < rules.size()) book.Text(sheet, row, 1, utf8.FromGbk(rules[*problem.Rule].GbkId));
    std::string text = utf8.FromGbk(problem.GbkText);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    book.Text(sheet, row++, 2, text);
  }
}

void WriteSummary(TWorkbookWriter& book, const std::vector<SRule>& rules, const SBatchSummary& summary) {
  TTextCodec utf8("UTF-8");
  lxw_worksheet* sheet = book.Sheet("summary", kSummaryHeader);
  for (std::size_t i = 0; i < rules.size() && i < summary.Tallies.size(); ++i) {
    const auto row = static_cast<lxw_row_t>(i + 1);
    const SRuleTally& tally = summary.Tallies[i];
    book.Text(sheet, row, 0, utf8.FromGbk(rules[i].GbkId));
    book.Text(sheet, row, 1, utf8.FromGbk(rules[i].GbkDescription));
    book.Number(sheet, row, 2, static_cast<double>(tally.Held));
    book.Number(sheet, row, 3, static_cast<double>(tally.Failed));
    book.Number(sheet, row, 4, static_cast<double>(tally.Errors));
  }
  const auto last = static_cast<lxw_row_t>(rules.size() + 1);
  book.Text(sheet, last + 1, 0, "rows evaluated");
  book.Number(sheet, last + 1, 2, static_cast<double>(summary.RowsEvaluated));
  book.Text(sheet, last + 2, 0, "rows skipped");
  book.Number(sheet, last + 2, 2, static_cast<double>(summary.RowsSkipped));
  WriteProblems(book, sheet, last + 4, rules, summary);
  lxw_chart* chart = book.Chart();
  if (!chart || rules.empty()) return;
  const std::string categories = "=summary!$A$2:$A$" + std::to_string(last);
  const char* names[] = {"false", "error"};
  for (int column = 0; column < 2; ++column) {
    const char letter = static_cast<char>('D' + column);
    const std::string values = std::string("=summary!$") + letter + "$2:$" + letter + "$" + std::to_string(last);
    lxw_chart_series* series = chart_add_series(chart, categories.c_str(), values.c_str());
    if (series) chart_series_set_name(series, names[column]);
  }
  chart_title_set_name(chart, "verdicts that need attention");
  book.Check(worksheet_insert_chart(sheet, 1, 6, chart));
}

// Writes the CSV records of spool on sheets named name (then "name 2", ...),
// each field as a text, but the number fields numbers; convert takes a field to UTF-8.
template <typename TConvert>
void WriteRecords(TWorkbookWriter& book, std::FILE* spool, const std::string& name,
                  const std::vector<std::string>& header, const std::vector<bool>& numbers, TConvert convert) {
  std::rewind(spool);
  TCsvReader reader(spool);
  SCsvRecord record;
  lxw_worksheet* sheet = nullptr;
  lxw_row_t row = 0;
  int sheets = 0;
  std::size_t widest = header.size();
  auto filter = [&] {
    if (sheet && row > 0) worksheet_autofilter(sheet, 0, 0, row, static_cast<lxw_col_t>(widest - 1));
  };
  while (reader.Next(record)) {
    if (!sheet || row + 1 == kRowsPerSheet) {
      filter();
      ++sheets;
      sheet = book.Sheet((sheets == 1 ? name : name + " " + std::to_string(sheets)).c_str(), header);
      row = 0;
    }
    ++row;
    widest = std::max(widest, record.Fields.size());
    for (std::size_t i = 0; i < record.Fields.size(); ++i) {
      if (i < numbers.size() && numbers[i]) {
        book.Number(sheet, row, i, std::strtod(record.Fields[i].c_str(), nullptr));
      } else {
        book.Text(sheet, row, i, convert(record.Fields[i]));
      }
    }
  }
  if (!sheet) sheet = book.Sheet(name.c_str(), header);
  filter();
}

bool IsUtf8(const std::string& encoding) { return encoding == "UTF-8" || encoding == "utf-8" || encoding == "UTF8"; }

std::string FileBytes(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw TUsageError("cannot read back the xlsx report");
  std::string bytes;
  char buffer[1 << 16];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, read);
  std::fclose(file);
  return bytes;
}

// A temporary path for the workbook, removed when it goes out of scope.
class TTemporaryPath {
 public:
  TTemporaryPath() {
    const char* folder = std::getenv("TMPDIR");
    Path = std::string(folder && *folder ? folder : "/tmp") + "/rulecalc-report-XXXXXX";
    const int descriptor = mkstemp(Path.data());
    if (descriptor < 0) throw TUsageError("cannot make a temporary file for the xlsx report");
    close(descriptor);
  }
  ~TTemporaryPath() { unlink(Path.c_str()); }
  TTemporaryPath(const TTemporaryPath&) = delete;
  TTemporaryPath& operator=(const TTemporaryPath&) = delete;
  std::string Path;
};

}  // namespace

std::unique_ptr<TReport> MakeXlsxReport(const SReportLayout&) { return std::make_unique<TXlsxReport>(); }

TXlsxSpool::TXlsxSpool(std::string failedRowsHeading, std::string dataEncoding)
    : FailedRowsHeading(std::move(failedRowsHeading)),
      DataCodec(IsUtf8(dataEncoding) ? nullptr : std::make_unique<TTextCodec>(dataEncoding)),
      Utf8("UTF-8"),
      Verdicts(Spool()),
      FailedRows(std::tmpfile()) {
  if (!FailedRows) {
    std::fclose(Verdicts);
    throw TUsageError("cannot keep the xlsx report's rows in a temporary file");
  }
}

TXlsxSpool::~TXlsxSpool() {
  std::fclose(Verdicts);
  std::fclose(FailedRows);
}

void TXlsxSpool::Add(const std::string& verdicts, const std::string& failedRows) {
  Append(Verdicts, verdicts);
  Append(FailedRows, failedRows);
}

std::string TXlsxSpool::Workbook(const std::vector<SRule>& rules, const SBatchSummary& summary) {
  const TTemporaryPath path;
  TWorkbookWriter book(path.Path);
  WriteSummary(book, rules, summary);
  WriteRecords(book, Verdicts, "verdicts", kVerdictsHeader, {true}, [](const std::string& text) { return text; });
  WriteRecords(book, FailedRows, "failed rows", FailedRowsHeader(), {}, [this](const std::string& text) { return ToUtf8(text); });
  book.Close();
  return FileBytes(path.Path);
}

// A field of the failed rows (in the data's encoding) in UTF-8.
std::string TXlsxSpool::ToUtf8(const std::string& text) {
  if (!DataCodec) return text;
  return Utf8.FromGbk(DataCodec->ToGbk(text, "a failed row"));
}

std::vector<std::string> TXlsxSpool::FailedRowsHeader() {
  std::vector<std::string> header;
  if (FailedRowsHeading.empty()) return header;
  std::FILE* heading = fmemopen(FailedRowsHeading.data(), FailedRowsHeading.size(), "rb");
  if (!heading) throw TUsageError("cannot read the failed rows' header");
  TCsvReader reader(heading);
  SCsvRecord record;
  if (reader.Next(record)) {
    for (const std::string& field : record.Fields) {
      header.push_back(ToUtf8(field.substr(0, field.find_last_not_of(' ') + 1)));
    }
  }
  std::fclose(heading);
  return header;
}

}  // namespace rulecalc::batch
