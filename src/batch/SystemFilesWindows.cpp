#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "batch/SystemFiles.h"

namespace rulecalc::batch {

namespace {

HANDLE SystemHandle(int descriptor) { return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)); }

}  // namespace

// Opened afresh by the file's own name, sharing deletion too: the C library's
// temporary files are deleted when closed.
std::FILE* ReopenForReading(std::FILE* file) {
  const HANDLE opened = SystemHandle(_fileno(file));
  if (opened == INVALID_HANDLE_VALUE) return nullptr;
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(opened, &name[0], static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
  if (length >= name.size()) {
    name.resize(length + 1);
    length = GetFinalPathNameByHandleW(opened, &name[0], static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
  }
  if (length == 0 || length >= name.size()) return nullptr;
  name.resize(length);
  const HANDLE again = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (again == INVALID_HANDLE_VALUE) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(again), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(again);
    return nullptr;
  }
  std::FILE* stream = _fdopen(descriptor, "rb");
  if (!stream) _close(descriptor);
  return stream;
}

// The C library's tmpfile makes its files in the root of the current drive,
// which users may not write to: this one is made in the user's temporary
// folder, deleted by the system when closed (and shared for deletion, so that
// ReopenForReading can open it again).
std::FILE* TemporaryFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"rc", 0, name) == 0) return nullptr;
  const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(file);
    return nullptr;
  }
  std::FILE* stream = _fdopen(descriptor, "w+b");
  if (!stream) _close(descriptor);
  return stream;
}

long long ReadAt(int descriptor, char* into, std::size_t size, std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  const DWORD asked = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (ReadFile(SystemHandle(descriptor), into, asked, &read, &at)) return read;
  return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}

}  // namespace rulecalc::batch
