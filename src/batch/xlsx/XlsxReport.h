#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "batch/Report.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// The xlsx report's verdicts as they come: one UTF-8 CSV line each
// (row,key,rule,description,result,explanation,values), kept by TXlsxSpool
// until the workbook is made.
std::unique_ptr<TReport> MakeXlsxReport(const SReportLayout& layout);

// Keeps the verdicts and the failed rows of a run in unnamed temporary files
// (memory stays small) and makes the workbook at the end: a summary sheet
// (the rules' counts with a bar chart), a verdicts sheet (filters, frozen
// header, keys as text) and a sheet of the records that need attention.
class TXlsxSpool {
 public:
  // failedRowsHeading: the failed rows' header line, in dataEncoding.
  TXlsxSpool(std::string failedRowsHeading, std::string dataEncoding);
  ~TXlsxSpool();
  TXlsxSpool(const TXlsxSpool&) = delete;
  TXlsxSpool& operator=(const TXlsxSpool&) = delete;

  void Add(const std::string& verdicts, const std::string& failedRows);

  // The workbook's bytes. Throws TUsageError when it cannot be made.
  std::string Workbook(const std::vector<SRule>& rules, const SBatchSummary& summary);

 private:
  std::string ToUtf8(const std::string& text);
  std::vector<std::string> FailedRowsHeader();

  std::string FailedRowsHeading;
  std::unique_ptr<TTextCodec> DataCodec;  // null for UTF-8 data
  TTextCodec Utf8;
  std::FILE* Verdicts;
  std::FILE* FailedRows;
};

}  // namespace rulecalc::batch
