#include "batch/DataFile.h"

#include <sys/stat.h>

#include "batch/Failures.h"
#include "batch/SystemFiles.h"
#include "batch/xlsx/SheetReader.h"

namespace rulecalc::batch {

namespace {

std::FILE* CopyOfStandardInput() {
  std::FILE* copy = TemporaryFile();
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

bool IsRegularFile(std::FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
}

std::uint64_t FileSize(std::FILE* file) {
  struct stat status {};
  return fstat(fileno(file), &status) == 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

std::string FirstBytes(std::FILE* file) {
  char bytes[4] = {};
  const std::size_t read = std::fread(bytes, 1, sizeof bytes, file);
  std::rewind(file);
  return std::string(bytes, read);
}

std::FILE* WorkbookAsCsv(std::FILE* workbook, const std::string& path, const SSheetChoice& sheet) {
  std::FILE* csv = TemporaryFile();
  if (!csv) throw TUsageError("cannot keep the sheet of '" + path + "' in a temporary file");
  try {
    WriteSheetAsCsv(fileno(workbook), SSheetRequest{path, sheet.Sheet, sheet.HeaderRow}, csv);
    if (std::fflush(csv) != 0) throw TUsageError("cannot keep the sheet of '" + path + "' in a temporary file (is the disk full?)");
  } catch (...) {
    std::fclose(csv);
    throw;
  }
  std::rewind(csv);
  return csv;
}

}  // namespace

std::FILE* SheetAsCsvFile(const std::string& path, const SSheetChoice& sheet) {
  std::FILE* workbook = OpenForReading(path);
  try {
    std::FILE* csv = WorkbookAsCsv(workbook, path, sheet);
    std::fclose(workbook);
    return csv;
  } catch (...) {
    std::fclose(workbook);
    throw;
  }
}

TDataFile::TDataFile(const std::string& path, const SSheetChoice& sheet) : Path(path), Handle(OpenForReading(path)) {
  try {
    FromWorkbook = IsWorkbook(path, IsRegularFile(Handle) ? FirstBytes(Handle) : std::string());
    if (!FromWorkbook && !sheet.Sheet.empty()) {
      throw TUsageError("--sheet names a sheet of a workbook, and '" + path + "' is no workbook");
    }
    if (FromWorkbook) {
      std::FILE* csv = WorkbookAsCsv(Handle, path, sheet);
      std::fclose(Handle);
      Handle = csv;
    }
  } catch (...) {
    std::fclose(Handle);
    throw;
  }
  if (IsRegularFile(Handle)) Bytes = FileSize(Handle);
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
