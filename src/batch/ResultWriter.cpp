#include "batch/ResultWriter.h"

#include <cstdio>

namespace rulecalc::cli {

void TResultWriter::operator()(SChunkResult& result) {
  if (!result.Diagnostics.empty()) {
    Bar.Clear();
    std::fputs(result.Diagnostics.c_str(), stderr);
  }
  WriteVerdicts(result);
  for (std::size_t i = 0; i < result.Tallies.size(); ++i) Summary.Tallies[i].Add(result.Tallies[i]);
  Summary.RowsEvaluated += result.RowsEvaluated;
  Summary.RowsSkipped += result.RowsSkipped;
  Bar.Update(result.BytesConsumed, Summary.RowsEvaluated + Summary.RowsSkipped);
}

void TResultWriter::WriteVerdicts(const SChunkResult& result) {
  if (Cap == 0 || Summary.VerdictsShown + result.Verdicts <= Cap) {
    Sink.Write(result.Report);
    Summary.VerdictsShown += result.Verdicts;
    return;
  }
  std::size_t end = 0;
  std::uint64_t written = 0;
  while (Summary.VerdictsShown < Cap) {
    end = result.Report.find('\n', end) + 1;
    ++Summary.VerdictsShown;
    ++written;
  }
  Sink.Write(result.Report.substr(0, end));
  Summary.VerdictsLeftOut += result.Verdicts - written;
}

}  // namespace rulecalc::cli
