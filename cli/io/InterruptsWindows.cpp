#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "io/Interrupts.h"

namespace rulecalc::cli {

namespace {

// Ctrl-C, Ctrl-Break, the console closed, the user logging off or the system
// shutting down: the handler runs on a thread of its own, cleans up and
// passes the event on, so the system ends the tool as it would have.
BOOL WINAPI OnConsoleEvent(DWORD) {
  RemovePendingFiles();
  return FALSE;
}

}  // namespace

int MakeUniqueFile(char* pattern) {
  const std::size_t size = std::strlen(pattern) + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[4096];
    std::memcpy(name, pattern, size);
    if (_mktemp_s(name, size) != 0) return -1;
    const int descriptor = _open(name, _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (descriptor >= 0) {
      std::memcpy(pattern, name, size);
      return descriptor;
    }
    if (errno != EEXIST) return -1;
  }
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
