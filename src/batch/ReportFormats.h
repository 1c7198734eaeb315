#pragma once

#include <memory>
#include <string>

#include "batch/Report.h"

namespace rulecalc::batch {

// The formats, made by MakeReport.
std::unique_ptr<TReport> MakeTextReport(const SReportLayout& layout);
std::unique_ptr<TReport> MakeCsvReport(const SReportLayout& layout);
std::unique_ptr<TReport> MakeJsonLinesReport(const SReportLayout& layout);
std::unique_ptr<TReport> MakeHtmlReport(const SReportLayout& layout);

}  // namespace rulecalc::batch
