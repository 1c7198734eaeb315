#pragma once

#include <cstdio>
#include <string>

namespace rulecalc::cli {

// Where the report goes: standard output when the path is empty, else a file.
// A file is written as a temporary file beside it and renamed into place by
// Commit only once the report is complete, so a run that fails, is
// interrupted (SIGINT, SIGTERM, SIGHUP) or never commits leaves the file that
// was there before untouched. Through a symbolic link, the file linked to is
// replaced (or created, when it does not exist yet) and the link stays.
class TReportSink {
 public:
  // Throws TUsageError when the temporary file cannot be created, the links
  // of path form a loop, or the file to replace is read-only for its owner.
  explicit TReportSink(const std::string& path);
  ~TReportSink();
  TReportSink(const TReportSink&) = delete;
  TReportSink& operator=(const TReportSink&) = delete;

  // Throws TOutputError when the bytes cannot be written (a full disk, a closed
  // pipe), TClosedOutput when standard output's reader has gone.
  void Write(const std::string& text);
  // Flushes and, for a file, renames it into place; throws TOutputError on failure.
  void Commit();

 private:
  void Fail(const std::string& what);

  std::string Path;      // as given, for messages
  std::string Target;    // the file to replace, links resolved
  std::string Temporary; // the file being written
  int PendingSlot = -1;  // its place among the files an interrupt removes
  std::FILE* Handle;
  bool Committed = false;
};

}  // namespace rulecalc::cli
