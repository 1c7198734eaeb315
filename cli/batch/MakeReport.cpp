#include "batch/Report.h"
#include "batch/ReportFormats.h"

namespace rulecalc::cli {

const char* OutcomeWord(EMOutcome outcome) {
  switch (outcome) {
    case EMOutcome::Held:
      return "true";
    case EMOutcome::Failed:
      return "false";
    case EMOutcome::AnalysisError:
    case EMOutcome::RunError:
      return "error";
  }
  return "error";
}

std::unique_ptr<TReport> MakeReport(EMReportFormat format, const std::string& outsideEncoding, int idColumns) {
  switch (format) {
    case EMReportFormat::Text:
      return MakeTextReport(outsideEncoding, idColumns);
    case EMReportFormat::Csv:
      return MakeCsvReport(outsideEncoding);
    case EMReportFormat::JsonLines:
      return MakeJsonLinesReport();
  }
  return MakeTextReport(outsideEncoding, idColumns);
}

}  // namespace rulecalc::cli
