#include "batch/DataFile.h"

#include <sys/stat.h>

#include "batch/Failures.h"

namespace rulecalc::batch {

namespace {

std::FILE* CopyOfStandardInput() {
  std::FILE* copy = std::tmpfile();
  if (!copy) throw TUsageError("cannot keep standard input in a temporary file");
  char buffer[1 << 16];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    if (std::fwrite(buffer, 1, read, copy) != read) {
      std::fclose(copy);
      throw TUsageError("cannot keep standard input in a temporary file (is the disk full?)");
    }
  }
  std::rewind(copy);
  return copy;
}

std::FILE* OpenForReading(const std::string& path) {
  if (path == "-") return CopyOfStandardInput();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw TReadError("cannot read the data file '" + path + "'");
  return file;
}

}  // namespace

TDataFile::TDataFile(const std::string& path) : Path(path), Handle(OpenForReading(path)) {
  struct stat status {};
  if (fstat(fileno(Handle), &status) == 0 && S_ISREG(status.st_mode)) Bytes = static_cast<std::uint64_t>(status.st_size);
}

TDataFile::~TDataFile() { std::fclose(Handle); }

void TDataFile::Seek(std::uint64_t offset) {
  if (fseeko(Handle, static_cast<off_t>(offset), SEEK_SET) != 0) {
    throw TUsageError("cannot read the data file '" + Path + "' twice (needed to infer the column types); "
                      "give every column a type (name:num or name:text) in the header, or use --data -");
  }
}

std::string TDataFile::Sample(std::size_t count) {
  if (std::fseek(Handle, 0, SEEK_SET) != 0) return {};
  std::string sample(count, '\0');
  sample.resize(std::fread(sample.data(), 1, count, Handle));
  std::fseek(Handle, 0, SEEK_SET);
  return sample;
}

}  // namespace rulecalc::batch
