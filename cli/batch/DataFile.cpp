#include "batch/DataFile.h"

#include <sys/stat.h>

#include "Failures.h"

namespace rulecalc::cli {

namespace {

std::FILE* OpenForReading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw TUsageError("cannot read the data file '" + path + "'");
  return file;
}

}  // namespace

TDataFile::TDataFile(const std::string& path) : Path(path), Handle(OpenForReading(path)) {
  struct stat status {};
  if (fstat(fileno(Handle), &status) == 0) Bytes = static_cast<std::uint64_t>(status.st_size);
}

TDataFile::~TDataFile() { std::fclose(Handle); }

void TDataFile::Rewind() {
  if (std::fseek(Handle, 0, SEEK_SET) != 0) {
    throw TUsageError("cannot read the data file '" + Path + "' twice (needed to infer the column types); "
                      "give every column a type (name:num or name:text) in the header");
  }
}

}  // namespace rulecalc::cli
