#pragma once

#include <cstdio>
#include <string>

namespace rulecalc::cli {

// Where the report goes: a file, or standard output when the path is empty.
class TReportSink {
 public:
  // Throws TUsageError when the file cannot be created.
  explicit TReportSink(const std::string& path);
  ~TReportSink();
  TReportSink(const TReportSink&) = delete;
  TReportSink& operator=(const TReportSink&) = delete;

  void Write(const std::string& text);
  // Flushes; throws std::runtime_error when anything could not be written.
  void Finish();

 private:
  std::string Path;
  std::FILE* Handle;
  bool Owned;
};

}  // namespace rulecalc::cli
