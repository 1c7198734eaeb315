#include "BatchTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "batch/text/TextCodec.h"

namespace rulecalc::batch::testing {

TMemoryFile::TMemoryFile(std::string text)
    : Text(std::move(text)), Handle(fmemopen(Text.empty() ? nullptr : Text.data(), Text.empty() ? 1 : Text.size(), "r")) {
  if (!Handle) throw std::runtime_error("fmemopen failed");
  if (Text.empty()) std::fgetc(Handle);  // an empty stream: nothing left to read
}

TMemoryFile::~TMemoryFile() { std::fclose(Handle); }

TTemporaryFile::TTemporaryFile(const std::string& content) {
  char pattern[] = "/tmp/rulecalc-cli-test-XXXXXX";
  const int descriptor = mkstemp(pattern);
  if (descriptor < 0) throw std::runtime_error("mkstemp failed");
  FilePath = pattern;
  if (write(descriptor, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
    close(descriptor);
    throw std::runtime_error("write failed");
  }
  close(descriptor);
}

TTemporaryFile::~TTemporaryFile() { std::remove(FilePath.c_str()); }

std::string Gbk(const std::string& utf8) {
  TTextCodec codec("UTF-8");
  return codec.ToGbk(utf8, "test text");
}

std::string Utf8(const std::string& gbk) {
  TTextCodec codec("UTF-8");
  return codec.FromGbk(gbk);
}

}  // namespace rulecalc::batch::testing
