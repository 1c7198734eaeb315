#include "batch/Report.h"
#include "batch/ReportFormats.h"
#include "batch/xlsx/XlsxReport.h"

namespace rulecalc::batch {

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

std::unique_ptr<TReport> MakeReport(const SReportLayout& layout) {
  switch (layout.Format) {
    case EMReportFormat::Text:
      return MakeTextReport(layout);
    case EMReportFormat::Csv:
      return MakeCsvReport(layout);
    case EMReportFormat::JsonLines:
      return MakeJsonLinesReport(layout);
    case EMReportFormat::Html:
      return MakeHtmlReport(layout);
    case EMReportFormat::Xlsx:
      return MakeXlsxReport(layout);
  }
  return MakeTextReport(layout);
}

}  // namespace rulecalc::batch
