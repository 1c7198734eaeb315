// Runs a script of sentences through the flat exports of the shared library
// and prints one line per sentence: the result of Analyse, the result of Run
// and the text that explains them (the analysis error when the analysis
// failed, else the run-time text).
//
// Usage: rulecalc_locale_probe SCRIPT
// Script lines (GBK):
//   var NAME TYPE VALUE    SetVarValue; VALUE is the rest of the line
//   sentence TEXT          ClearMemory is not called: variables stay
//   clear                  ClearMemory

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "rulecalc.h"

namespace {

void SetVariable(const std::string& rest) {
  std::istringstream fields(rest);
  std::string name;
  int type = 0;
  fields >> name >> type;
  std::string value;
  std::getline(fields, value);
  if (!value.empty() && value.front() == ' ') value.erase(0, 1);
  SetVarValue(name.c_str(), value.c_str(), type);
}

void RunSentence(const std::string& sentence) {
  SetSentence(sentence.c_str());
  const bool analysed = Analyse();
  if (!analysed) {
    std::cout << "0 0 " << GetAnalyseError() << '\n';
    return;
  }
  const bool holds = Run();
  std::cout << "1 " << (holds ? 1 : 0) << ' ' << GetRuntimeError() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: rulecalc_locale_probe SCRIPT\n";
    return 2;
  }
  std::ifstream script(argv[1], std::ios::binary);
  if (!script) {
    std::cerr << "cannot read " << argv[1] << '\n';
    return 2;
  }
  std::string line;
  while (std::getline(script, line)) {
    if (line.rfind("var ", 0) == 0) SetVariable(line.substr(4));
    else if (line.rfind("sentence ", 0) == 0) RunSentence(line.substr(9));
    else if (line == "clear") ClearMemory();
  }
  return 0;
}
