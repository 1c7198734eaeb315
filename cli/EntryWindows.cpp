// rulecalc.exe: the command-line tool over the rule calculator library.
//
// Windows hands the arguments over in UTF-16; they are converted to the
// encoding the tool reads them in (the console's code page, or --encoding's),
// so that a Chinese argument arrives whole whatever the ANSI code page is.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include <string>
#include <vector>

#include "Codeset.h"
#include "ExitStatus.h"
#include "commands/CommandLine.h"

namespace {

// The argument in the code page; false when it has a character the code
// page lacks (which would become "?").
bool Encoded(UINT page, const wchar_t* wide, std::string& text) {
  const bool holdsAll = page == CP_UTF8 || page == 54936;
  BOOL missing = FALSE;
  BOOL* missingAt = holdsAll ? nullptr : &missing;
  const int bytes = WideCharToMultiByte(page, 0, wide, -1, nullptr, 0, nullptr, missingAt);
  text.assign(bytes > 1 ? static_cast<std::size_t>(bytes) : 1, '\0');
  if (bytes > 1) WideCharToMultiByte(page, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  text.pop_back();
  return !missing;
}

std::wstring Folded(const std::wstring& name) {
  std::wstring folded;
  for (wchar_t c : name) {
    if (c != L'-' && c != L'_') folded += c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  }
  return folded;
}

// The code page of the encodings whose arguments are taken as such (UTF-8,
// GBK, GB18030), or 0: any other --encoding reads arguments in the console's.
UINT CodePageOfArguments(const std::wstring& encoding) {
  const std::wstring folded = Folded(encoding);
  if (folded == L"UTF8") return CP_UTF8;
  if (folded == L"GBK" || folded == L"CP936") return 936;
  if (folded == L"GB18030") return 54936;
  return 0;
}

// The code page --encoding names among the arguments, else the console's.
UINT ArgumentCodePage(int argc, wchar_t** argv) {
  const std::wstring option = L"--encoding";
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--") break;
    UINT page = 0;
    if (argument == option && i + 1 < argc) page = CodePageOfArguments(argv[i + 1]);
    if (argument.compare(0, option.size() + 1, option + L"=") == 0) page = CodePageOfArguments(argument.substr(option.size() + 1));
    if (page != 0) return page;
  }
  const UINT console = GetConsoleOutputCP();
  return console != 0 ? console : GetACP();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Data and rules read from standard input keep their bytes ("\r\n" line
  // ends, a byte 0x1A); reports and messages are written as they are, with
  // "\n" line ends, as on every other system: a report on standard output
  // and one written with --output are the same bytes.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  rulecalc::cli::AdoptUserLocale();
  const UINT page = ArgumentCodePage(argc, argv);
  std::vector<std::string> arguments(static_cast<std::size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    if (Encoded(page, argv[i], arguments[static_cast<std::size_t>(i)])) continue;
    std::fprintf(stderr, "rulecalc: argument %d has a character code page %u lacks; "
                 "give --encoding UTF-8 (or run chcp 936 or chcp 65001 first)\n", i, page);
    return rulecalc::cli::esUsageError;
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return rulecalc::cli::RunCommandLine(argc, pointers.data());
}
