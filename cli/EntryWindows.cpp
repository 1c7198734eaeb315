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
#include "commands/CommandLine.h"

namespace {

std::string Encoded(UINT page, const wchar_t* wide) {
  const int bytes = WideCharToMultiByte(page, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(page, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  text.pop_back();
  return text;
}

// The code page --encoding names among the arguments, else the console's.
UINT ArgumentCodePage(int argc, wchar_t** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--") break;
    if (argument != L"--encoding") continue;
    const std::wstring name = argv[i + 1];
    if (name == L"UTF-8" || name == L"utf-8" || name == L"UTF8" || name == L"utf8") return CP_UTF8;
    if (name == L"GBK" || name == L"gbk" || name == L"CP936" || name == L"cp936") return 936;
    if (name == L"GB18030" || name == L"gb18030") return 54936;
  }
  const UINT console = GetConsoleOutputCP();
  return console != 0 ? console : GetACP();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Reports and messages are written as they are, with "\n" line ends, as
  // on every other system: a report on standard output and one written with
  // --output are the same bytes.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  rulecalc::cli::AdoptUserLocale();
  const UINT page = ArgumentCodePage(argc, argv);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(Encoded(page, argv[i]));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(&argument[0]);
  pointers.push_back(nullptr);
  return rulecalc::cli::RunCommandLine(argc, pointers.data());
}
