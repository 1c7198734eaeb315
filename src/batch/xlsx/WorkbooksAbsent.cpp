// A build without the workbook libraries (libzip, expat, libxlsxwriter):
// a workbook is recognised (WorkbookKind.cpp) and refused with the reason,
// and so is the xlsx report, before anything is written.

#include "batch/Failures.h"
#include "batch/xlsx/SheetReader.h"
#include "batch/xlsx/XlsxReport.h"

namespace rulecalc::batch {

namespace {

constexpr const char* kWhy = "this build of rulecalc has no workbook support (it was built without libzip, "
                             "expat and libxlsxwriter)";

}  // namespace

void WriteSheetAsCsv(int, const SSheetRequest& request, std::FILE*) {
  throw TUsageError("cannot read the workbook '" + request.Path + "': " + kWhy + "; save the sheet as CSV");
}

std::unique_ptr<TReport> MakeXlsxReport(const SReportLayout&) {
  throw TUsageError(std::string("--format xlsx: ") + kWhy + "; choose text, csv, jsonl or html");
}

TXlsxSpool::TXlsxSpool(std::string, std::string) : Utf8("UTF-8"), Verdicts(nullptr), FailedRows(nullptr) {
  throw TUsageError(std::string("--format xlsx: ") + kWhy + "; choose text, csv, jsonl or html");
}

TXlsxSpool::~TXlsxSpool() = default;

void TXlsxSpool::Add(const std::string&, const std::string&) {}

std::string TXlsxSpool::Workbook(const std::vector<SRule>&, const SBatchSummary&) { return std::string(); }

}  // namespace rulecalc::batch
