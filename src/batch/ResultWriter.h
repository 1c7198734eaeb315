#pragma once

#include <cstdint>

#include "batch/Chunk.h"
#include "Progress.h"
#include "batch/Summary.h"
#include "io/ReportSink.h"

namespace rulecalc::cli {

// Writes results in order and keeps the totals and the progress bar. With a
// cap, only the first cap verdict lines reach the report; the rest are
// counted as left out.
class TResultWriter {
 public:
  TResultWriter(TReportSink& sink, SBatchSummary& summary, TProgressBar& bar, std::uint64_t cap)
      : Sink(sink), Summary(summary), Bar(bar), Cap(cap) {}

  void operator()(SChunkResult& result);

 private:
  void WriteVerdicts(const SChunkResult& result);

  TReportSink& Sink;
  SBatchSummary& Summary;
  TProgressBar& Bar;
  std::uint64_t Cap;  // 0: no cap
};

}  // namespace rulecalc::cli
