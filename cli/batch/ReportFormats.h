#pragma once

#include <memory>
#include <string>

#include "batch/Report.h"

namespace rulecalc::cli {

// The three formats, made by MakeReport.
std::unique_ptr<TReport> MakeTextReport(const std::string& encoding, int idColumns);
std::unique_ptr<TReport> MakeCsvReport(const std::string& encoding);
std::unique_ptr<TReport> MakeJsonLinesReport();

}  // namespace rulecalc::cli
