#include "io/ReportSink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "Failures.h"
#include "io/OutputFile.h"
#include "io/PendingFile.h"

namespace rulecalc::cli {

namespace {

constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;

std::FILE* CreateTemporary(const std::string& target, std::string& temporary, int& slot) {
  const std::string pattern = TemporaryPattern(target);
  const int descriptor = CreatePendingFile(pattern, target, temporary, slot);
  if (descriptor < 0) {
    throw TUsageError("cannot write the output file '" + target + "': " + std::strerror(errno));
  }
  std::FILE* file = fdopen(descriptor, "wb");
  if (!file) {
    close(descriptor);
    std::remove(temporary.c_str());
    ReleasePendingFile(slot);
    throw TUsageError("cannot write the output file '" + target + "'");
  }
  return file;
}

std::FILE* OpenSpecialFile(const std::string& target) {
  std::FILE* file = std::fopen(target.c_str(), "wb");
  if (!file) throw TUsageError("cannot write the output file '" + target + "': " + std::strerror(errno));
  return file;
}

}  // namespace

TReportSink::TReportSink(const std::string& path) : Path(path), Handle(stdout) {
  if (path.empty()) return;
  Target = ReplacedFile(path);
  RefuseReadOnly(path, Target);
  Handle = IsSpecialFile(Target) ? OpenSpecialFile(Target) : CreateTemporary(Target, Temporary, PendingSlot);
  std::setvbuf(Handle, nullptr, _IOFBF, kWriteBuffer);
}

TReportSink::~TReportSink() {
  if (Temporary.empty()) {
    if (Handle && Handle != stdout) std::fclose(Handle);
    return;
  }
  if (Committed) return;
  if (Handle) std::fclose(Handle);
  std::remove(Temporary.c_str());
  ReleasePendingFile(PendingSlot);
}

void TReportSink::Write(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), Handle) != text.size()) Fail("cannot write the report");
}

void TReportSink::Commit() {
  if (std::fflush(Handle) != 0 || std::ferror(Handle)) Fail("cannot write the report");
  if (Temporary.empty()) {
    if (Handle != stdout && std::fclose(std::exchange(Handle, nullptr)) != 0) Fail("cannot write the report");
    return;
  }
  TakeModeOf(Handle, Target);
  const int closed = std::fclose(Handle);
  Handle = nullptr;
  if (closed != 0) Fail("cannot write the report");
  if (!PutInPlace(Temporary, Target)) Fail("cannot put the report in place");
  Committed = true;
  ReleasePendingFile(PendingSlot);
}

void TReportSink::Fail(const std::string& what) {
  if (Path.empty() && errno == EPIPE) throw TClosedOutput("standard output was closed");
  const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : "";
  if (Path.empty()) throw TOutputError(what + " to standard output" + reason);
  if (Temporary.empty()) throw TOutputError(what + " to '" + Path + "'" + reason);
  throw TOutputError(what + " to '" + Path + "'" + reason + "; '" + Path + "' is left as it was");
}

}  // namespace rulecalc::cli
