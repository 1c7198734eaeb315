#include <string>

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

// Records row,rule,result,explanation with CRLF line ends; the summary goes to standard error.
class TCsvReport : public TReport {
 public:
  explicit TCsvReport(const std::string& encoding) : Codec(encoding) {}

  std::string Heading() override { return "row,rule,result,explanation\r\n"; }

  void AddVerdict(std::string& out, std::uint64_t row, const SRule& rule, const SEvaluation& evaluation) override {
    out += std::to_string(row);
    out += ',' + CsvField(Codec.FromGbk(rule.GbkId));
    out += ',';
    out += OutcomeWord(evaluation.Outcome);
    out += ',';
    if (evaluation.Outcome != EMOutcome::Held) out += CsvField(Codec.FromGbk(evaluation.Text));
    out += "\r\n";
  }

  std::string Summary(const std::vector<SRule>&, const SBatchSummary&) override { return {}; }

 private:
  TTextCodec Codec;
};

}  // namespace

std::unique_ptr<TReport> MakeCsvReport(const std::string& encoding) { return std::make_unique<TCsvReport>(encoding); }

}  // namespace rulecalc::cli
