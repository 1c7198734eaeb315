#pragma once

#include <cstdio>
#include <string>

namespace rulecalc::batch::testing {

// A read-only FILE over text held in memory, closed when it goes.
class TMemoryFile {
 public:
  explicit TMemoryFile(std::string text);
  ~TMemoryFile();
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;

  std::FILE* File() const { return Handle; }

 private:
  std::string Text;
  std::FILE* Handle;
};

// A file in the temporary directory with the given content, removed when it goes.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(const std::string& content);
  ~TTemporaryFile();
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  const std::string& Path() const { return FilePath; }

 private:
  std::string FilePath;
};

// UTF-8 text in GBK and back, for readable expectations.
std::string Gbk(const std::string& utf8);
std::string Utf8(const std::string& gbk);

}  // namespace rulecalc::batch::testing
