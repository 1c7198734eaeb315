#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>

#include "batch/CsvReader.h"
#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

namespace {

// "-5", "+2.5": a plain number, which a spreadsheet reads as a number and no
// formula can hide in.
bool IsPlainNumber(const std::string& text) {
  std::size_t i = text.size() > 1 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const std::size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == digits) return false;
  if (i < text.size() && text[i] == '.') ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  return i == text.size();
}

// A cell a spreadsheet would run as a formula (=HYPERLINK(...), +cmd|...,
// @SUM(...), and after a tab or carriage return) unless it is a plain number.
bool LooksLikeFormula(const std::string& text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos &&
         !IsPlainNumber(text);
}

// A cell for the report: one that looks like a formula gets a leading ' in
// its quotes, so a spreadsheet shows it as text.
std::string Cell(const std::string& text, bool rawCells) {
  if (rawCells || !LooksLikeFormula(text)) return CsvField(text);
  return CsvQuoted("'" + text);
}

// Records row,[key,]rule,result,explanation[,values] with CRLF line ends; the summary goes to standard error.
class TCsvReport : public TReport {
 public:
  explicit TCsvReport(const SReportLayout& layout) : Layout(layout), Codec(layout.Encoding) {}

  std::string Heading() override {
    std::string heading = Layout.Bom ? "\xEF\xBB\xBF" : "";
    heading += "row,";
    if (!Layout.GbkKeyName.empty()) heading += Field(Codec.FromGbk(Layout.GbkKeyName)) + ",";
    heading += "rule,result,explanation";
    return heading + (Layout.ShowValues ? ",values\r\n" : "\r\n");
  }

  void AddVerdict(std::string& out, const SVerdict& verdict) override {
    out += RowStart(verdict);
    out += IdField(verdict.Rule);
    out += ',';
    out += OutcomeWord(verdict.Evaluation->Outcome);
    out += ',';
    if (verdict.Evaluation->Outcome != EMOutcome::Held) out += Explanation(verdict.Evaluation->Text);
    if (Layout.ShowValues) out += ',' + Field(Codec.FromGbk(verdict.GbkValues));
    out += "\r\n";
  }

  std::string Summary(const std::vector<SRule>&, const SBatchSummary&) override { return {}; }

 private:
  // "row,[key,]" is the same for every verdict of a row.
  const std::string& RowStart(const SVerdict& verdict) {
    if (verdict.Row == StartRow && !RowStartText.empty()) return RowStartText;
    StartRow = verdict.Row;
    RowStartText = std::to_string(verdict.Row) + ',';
    if (verdict.GbkKey) RowStartText += Field(Codec.FromGbk(*verdict.GbkKey)) + ',';
    return RowStartText;
  }

  const std::string& IdField(const SRule* rule) {
    auto found = IdFields.find(rule);
    if (found != IdFields.end()) return found->second;
    return IdFields.emplace(rule, Field(Codec.FromGbk(rule->GbkId))).first->second;
  }

  // Explanations repeat from row to row: each distinct text is
  // converted and quoted once (up to kRemembered of them at a time, none
  // longer than kLongestRemembered bytes, so memory stays small).
  static constexpr std::size_t kRemembered = 4096;
  static constexpr std::size_t kLongestRemembered = 512;

  const std::string& Explanation(const std::string& gbk) {
    if (gbk.size() > kLongestRemembered) return Unremembered = Field(Codec.FromGbk(gbk));
    auto found = Fields.find(gbk);
    if (found != Fields.end()) return found->second;
    if (Fields.size() >= kRemembered) Fields.clear();
    return Fields.emplace(gbk, Field(Codec.FromGbk(gbk))).first->second;
  }

  std::string Field(const std::string& text) const { return Cell(text, Layout.RawCells); }

  SReportLayout Layout;
  TTextCodec Codec;
  std::unordered_map<std::string, std::string> Fields;
  std::string Unremembered;
  std::unordered_map<const SRule*, std::string> IdFields;
  std::uint64_t StartRow = 0;
  std::string RowStartText;
};

// kind,rule,rows,first_row,message: one record.
std::string NoteRecord(const char* kind, const std::string& rule, const std::string& rows, const std::string& firstRow,
                       const std::string& message, bool rawCells) {
  return std::string(kind) + "," + Cell(rule, rawCells) + "," + rows + "," + firstRow + "," + Cell(message, rawCells) +
         "\r\n";
}

// The text without the line break it ends in.
std::string Unterminated(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

std::string NotesCsv(const std::vector<SRule>& rules, const SBatchSummary& summary, const SReportLayout& layout) {
  TTextCodec codec(layout.Encoding);
  std::string out = layout.Bom ? "\xEF\xBB\xBF" : "";
  out += "kind,rule,rows,first_row,message\r\n";
  for (const SProblem& problem : summary.Problems) {
    const std::string rule = problem.Rule && *problem.Rule < rules.size() ? codec.FromGbk(rules[*problem.Rule].GbkId) : "";
    out += NoteRecord(ProblemKindWord(problem.Kind), rule, "", "", Unterminated(codec.FromGbk(problem.GbkText)),
                      layout.RawCells);
  }
  for (std::size_t i = 0; i < summary.Tallies.size() && i < rules.size(); ++i) {
    for (const SNoteTally& note : summary.Tallies[i].Notes) {
      out += NoteRecord("note", codec.FromGbk(rules[i].GbkId), std::to_string(note.Rows), std::to_string(note.FirstRow),
                        codec.FromGbk(DescribeNoteTally(note)), layout.RawCells);
    }
  }
  return out;
}

std::unique_ptr<TReport> MakeCsvReport(const SReportLayout& layout) { return std::make_unique<TCsvReport>(layout); }

}  // namespace rulecalc::batch
