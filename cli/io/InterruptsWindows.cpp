#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "io/Interrupts.h"

namespace rulecalc::cli {

namespace {

// What the system's own handler ends a program with on Ctrl-C.
constexpr UINT kInterruptedStatus = 0xC000013A;

// Ctrl-C, Ctrl-Break, the console closed, the user logging off or the system
// shutting down: the handler runs on a thread of its own, cleans up and ends
// the tool at once with the status an interrupted program has (the main
// thread may hold the C library's locks, so nothing more runs).
BOOL WINAPI OnConsoleEvent(DWORD) {
  RemovePendingFiles();
  TerminateProcess(GetCurrentProcess(), kInterruptedStatus);
  return TRUE;
}

}  // namespace

// Opened sharing deletion, so that an interrupt can remove the file while
// the tool still writes it (it goes when the tool ends).
int MakeUniqueFile(char* pattern) {
  const std::size_t size = std::strlen(pattern) + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[4096];
    std::memcpy(name, pattern, size);
    if (_mktemp_s(name, size) != 0) return -1;
    const HANDLE file = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
      return -1;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
      CloseHandle(file);
      DeleteFileA(name);
      return -1;
    }
    std::memcpy(pattern, name, size);
    return descriptor;
  }
  errno = EEXIST;
  return -1;
}

void InstallInterruptHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RemoveFileNow(const char* path) { DeleteFileA(path); }

void SayNow(const char* text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

}  // namespace rulecalc::cli
