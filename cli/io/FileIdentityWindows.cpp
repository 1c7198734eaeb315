#include <io.h>
#include <windows.h>

#include "io/SameFile.h"

namespace rulecalc::cli {

namespace {

// A file is the same when its volume and its index on the volume are.
struct SIdentity {
  DWORD Volume = 0;
  DWORD IndexHigh = 0;
  DWORD IndexLow = 0;
};

bool IdentityOf(HANDLE file, SIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (file == INVALID_HANDLE_VALUE || GetFileType(file) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(file, &information)) {
    return false;
  }
  identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
  return true;
}

bool IdentityOf(const std::string& path, SIdentity& identity) {
  const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool known = IdentityOf(file, identity);
  CloseHandle(file);
  return known;
}

bool SameIdentity(const SIdentity& first, const SIdentity& second) {
  return first.Volume == second.Volume && first.IndexHigh == second.IndexHigh && first.IndexLow == second.IndexLow;
}

}  // namespace

bool SameFile(const std::string& one, const std::string& other) {
  SIdentity first;
  SIdentity second;
  return IdentityOf(one, first) && IdentityOf(other, second) && SameIdentity(first, second);
}

// Only a file on disk: the console, a pipe or NUL behind a descriptor is
// never overwritten by a report.
bool SameFileAsDescriptor(const std::string& path, int descriptor) {
  SIdentity opened;
  SIdentity named;
  return IdentityOf(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)), opened) && IdentityOf(path, named) &&
         SameIdentity(opened, named);
}

}  // namespace rulecalc::cli
