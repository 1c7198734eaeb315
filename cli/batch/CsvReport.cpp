#include <string>
#include <unordered_map>

#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "text/TextCodec.h"

namespace rulecalc::cli {

namespace {

// A field as RFC 4180 writes it: quoted when it holds a comma, a quote or a
// line break, with quotes doubled.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Records row,[key,]rule,result,explanation[,values] with CRLF line ends; the summary goes to standard error.
class TCsvReport : public TReport {
 public:
  explicit TCsvReport(const SReportLayout& layout) : Layout(layout), Codec(layout.Encoding) {}

  std::string Heading() override {
    std::string heading = Layout.Bom ? "\xEF\xBB\xBF" : "";
    heading += "row,";
    if (!Layout.GbkKeyName.empty()) heading += CsvField(Codec.FromGbk(Layout.GbkKeyName)) + ",";
    heading += "rule,result,explanation";
    return heading + (Layout.ShowValues ? ",values\r\n" : "\r\n");
  }

  void AddVerdict(std::string& out, const SVerdict& verdict) override {
    out += RowStart(verdict);
    out += IdField(verdict.Rule);
    out += ',';
    out += OutcomeWord(verdict.Evaluation->Outcome);
    out += ',';
    if (verdict.Evaluation->Outcome != EMOutcome::Held) out += Field(verdict.Evaluation->Text);
    if (Layout.ShowValues) out += ',' + CsvField(Codec.FromGbk(verdict.GbkValues));
    out += "\r\n";
  }

  std::string Summary(const std::vector<SRule>&, const SBatchSummary&) override { return {}; }

 private:
  // "row,[key,]" is the same for every verdict of a row.
  const std::string& RowStart(const SVerdict& verdict) {
    if (verdict.Row == StartRow && !RowStartText.empty()) return RowStartText;
    StartRow = verdict.Row;
    RowStartText = std::to_string(verdict.Row) + ',';
    if (verdict.GbkKey) RowStartText += CsvField(Codec.FromGbk(*verdict.GbkKey)) + ',';
    return RowStartText;
  }

  const std::string& IdField(const SRule* rule) {
    auto found = IdFields.find(rule);
    if (found != IdFields.end()) return found->second;
    return IdFields.emplace(rule, CsvField(Codec.FromGbk(rule->GbkId))).first->second;
  }

  // Explanations repeat from row to row: each distinct text is
  // converted and quoted once (up to kRemembered of them at a time, none
  // longer than kLongestRemembered bytes, so memory stays small).
  static constexpr std::size_t kRemembered = 4096;
  static constexpr std::size_t kLongestRemembered = 512;

  const std::string& Field(const std::string& gbk) {
    if (gbk.size() > kLongestRemembered) return Unremembered = CsvField(Codec.FromGbk(gbk));
    auto found = Fields.find(gbk);
    if (found != Fields.end()) return found->second;
    if (Fields.size() >= kRemembered) Fields.clear();
    return Fields.emplace(gbk, CsvField(Codec.FromGbk(gbk))).first->second;
  }

  SReportLayout Layout;
  TTextCodec Codec;
  std::unordered_map<std::string, std::string> Fields;
  std::string Unremembered;
  std::unordered_map<const SRule*, std::string> IdFields;
  std::uint64_t StartRow = 0;
  std::string RowStartText;
};

}  // namespace

std::unique_ptr<TReport> MakeCsvReport(const SReportLayout& layout) { return std::make_unique<TCsvReport>(layout); }

}  // namespace rulecalc::cli
