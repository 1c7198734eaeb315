#include <windows.h>

#include "Failures.h"
#include "io/OutputFile.h"

namespace rulecalc::cli {

namespace {

DWORD AttributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }

}  // namespace

// Windows programs meet no symbolic links in a report's path worth keeping:
// the path is the file.
std::string ReplacedFile(const std::string& path) { return path; }

void RefuseReadOnly(const std::string& path, const std::string& target) {
  const DWORD attributes = AttributesOf(target);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
  throw TUsageError("cannot write the output file '" + path + "': it is read-only; clear its read-only "
                    "attribute (attrib -r) or choose another output, nothing was written");
}

// A device (NUL, CON, a pipe): opened and asked what it is.
bool IsSpecialFile(const std::string& target) {
  const HANDLE file = CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  return type != FILE_TYPE_DISK;
}

std::string TemporaryPattern(const std::string& target) {
  const std::size_t separator = target.find_last_of("\\/:");
  const std::string folder = separator == std::string::npos ? "" : target.substr(0, separator + 1);
  const std::string name = separator == std::string::npos ? target : target.substr(separator + 1);
  return folder + "~" + name + ".XXXXXX";
}

// A new file takes its folder's permissions: nothing to carry over.
void TakeModeOf(std::FILE*, const std::string&) {}

bool PutInPlace(const std::string& temporary, const std::string& target) {
  if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return false;
}

}  // namespace rulecalc::cli
