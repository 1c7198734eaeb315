#include "batch/calc/AnalysisReport.h"

#include "batch/calc/CaretPicture.h"
#include "batch/text/DisplayColumns.h"

namespace rulecalc::batch {

namespace {

std::string Described(const char* kind, const std::string& gbkSentence, const std::string& gbkMessage,
                      SFailurePoint point, TTextCodec& codec) {
  TDisplayColumns columns;
  const SCaretPicture picture = DrawCaret(gbkSentence, point, columns);
  std::string report = kind + codec.FromGbkShowingControls(gbkMessage) + "\n";
  if (picture.LineNumber > 1 || gbkSentence.find('\n') != std::string::npos) {
    report += "  (line " + std::to_string(picture.LineNumber) + " of the sentence)\n";
  }
  report += "  " + codec.FromGbkShowingControls(picture.GbkLine) + "\n";
  report += "  " + picture.Marker + "\n";
  return report;
}

}  // namespace

std::string DescribeAnalysisError(const std::string& gbkSentence, const SEvaluation& evaluation,
                                  TTextCodec& codec) {
  return Described("analysis error: ", gbkSentence, evaluation.Text, evaluation.StoppedAt, codec);
}

std::string DescribeWarning(const std::string& gbkSentence, const SAnalysisWarning& warning, TTextCodec& codec) {
  const SFailurePoint point{static_cast<std::size_t>(warning.Position < 0 ? 0 : warning.Position), 1};
  return Described("warning: ", gbkSentence, warning.Message, point, codec);
}

std::string DescribePlace(const std::string& gbkSentence, const std::string& gbkMessage, SFailurePoint point,
                          TTextCodec& codec) {
  return Described("", gbkSentence, gbkMessage, point, codec);
}

std::string DescribeNote(const std::string& gbkSentence, const std::string& gbkNote, std::int32_t position,
                         std::size_t length, TTextCodec& codec) {
  const SFailurePoint point{static_cast<std::size_t>(position < 0 ? 0 : position), length == 0 ? 1 : length};
  return Described("", gbkSentence, gbkNote, point, codec);
}

std::string DescribeWarnings(const std::string& gbkSentence, const SEvaluation& evaluation, TTextCodec& codec) {
  std::string described;
  for (const SAnalysisWarning& warning : evaluation.Warnings) described += DescribeWarning(gbkSentence, warning, codec);
  return described;
}

}  // namespace rulecalc::batch
