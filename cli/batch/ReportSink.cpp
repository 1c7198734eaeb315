#include "batch/ReportSink.h"

#include <stdexcept>

#include "Failures.h"

namespace rulecalc::cli {

namespace {

constexpr std::size_t kWriteBuffer = std::size_t{1} << 20;

}  // namespace

TReportSink::TReportSink(const std::string& path)
    : Path(path), Handle(path.empty() ? stdout : std::fopen(path.c_str(), "wb")), Owned(!path.empty()) {
  if (!Handle) throw TUsageError("cannot write the output file '" + path + "'");
  std::setvbuf(Handle, nullptr, _IOFBF, kWriteBuffer);
}

TReportSink::~TReportSink() {
  if (Owned) std::fclose(Handle);
}

void TReportSink::Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), Handle); }

void TReportSink::Finish() {
  if (std::fflush(Handle) != 0 || std::ferror(Handle)) {
    throw std::runtime_error("cannot write the report to " + (Path.empty() ? std::string("standard output") : Path));
  }
}

}  // namespace rulecalc::cli
