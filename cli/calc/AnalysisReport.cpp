#include "calc/AnalysisReport.h"

#include "calc/CaretPicture.h"
#include "text/DisplayColumns.h"

namespace rulecalc::cli {

std::string DescribeAnalysisError(const std::string& gbkSentence, const SEvaluation& evaluation,
                                  TTextCodec& codec) {
  TDisplayColumns columns;
  const SCaretPicture picture = DrawCaret(gbkSentence, evaluation.StoppedAt, columns);
  std::string report = "analysis error: " + codec.FromGbk(evaluation.Text) + "\n";
  if (picture.LineNumber > 1 || gbkSentence.find('\n') != std::string::npos) {
    report += "  (line " + std::to_string(picture.LineNumber) + " of the sentence)\n";
  }
  report += "  " + codec.FromGbk(picture.GbkLine) + "\n";
  report += "  " + picture.Marker + "\n";
  return report;
}

}  // namespace rulecalc::cli
