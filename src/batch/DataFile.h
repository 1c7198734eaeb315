#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace rulecalc::batch {

// An open input file with its size, read from the start once per pass. The
// path "-" is standard input, copied into an unnamed temporary file first so
// that it can be read twice like any file.
class TDataFile {
 public:
  // Throws TUsageError when the file cannot be opened.
  explicit TDataFile(const std::string& path);
  ~TDataFile();
  TDataFile(const TDataFile&) = delete;
  TDataFile& operator=(const TDataFile&) = delete;

  std::FILE* File() const { return Handle; }
  std::uint64_t Size() const { return Bytes; }
  // Goes to a byte offset; throws TUsageError when the file cannot seek.
  void Seek(std::uint64_t offset);
  // Up to count bytes from the start, the file left at its start; empty
  // when the file cannot seek (a pipe named by its path).
  std::string Sample(std::size_t count);

 private:
  std::string Path;
  std::FILE* Handle;
  std::uint64_t Bytes = 0;
};

}  // namespace rulecalc::batch
