// The scenario driver's protocol (tests/scenarios/driver.c) spoken by an
// independent C++ instance instead of the loaded library: the same script
// must produce byte-identical output through both. "Reload" replaces the
// instance with a new one, which is the state at load. "Language 1" sends
// the calls after it to a new handle of this build reading the extended
// language (the only way a host reaches it), "Language 0" to the instance
// again.
//
// Usage: rulecalc-instance-driver < script

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "boundary/RuleCalc.h"
#include "support/HandleCalls.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "rulecalc-instance-driver: %s\n", what.c_str());
  std::exit(2);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "x" followed by two hex digits per byte.
std::string DecodeText(const std::string& field) {
  if (field.empty() || field[0] != 'x') Fail("text argument must start with x: " + field);
  std::string out;
  for (std::size_t i = 1; i < field.size(); i += 2) {
    const int high = HexDigit(field[i]);
    const int low = i + 1 < field.size() ? HexDigit(field[i + 1]) : -1;
    if (high < 0 || low < 0) Fail("bad hex text: " + field);
    out.push_back(static_cast<char>(high * 16 + low));
  }
  return out;
}

std::string EncodeText(const char* text) {
  if (text == nullptr) Fail("a text getter returned a null pointer");
  static const char digits[] = "0123456789abcdef";
  std::string out = "x";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    out.push_back(digits[*p >> 4]);
    out.push_back(digits[*p & 15]);
  }
  return out;
}

class TDriver {
 public:
  TDriver() { Load(); }

  void Command(const std::vector<std::string>& f) {
    if (f[0] == "Language" && f.size() == 2) {
      Handle.reset();
      if (f[1] == "1") {
        Handle = std::make_unique<rulecalc::testing::THandleCalls>();
        rulecalc_set_language(Handle->Handle, RULECALC_LANGUAGE_EXTENDED);
      }
      Print("Language");
    } else if (Handle) {
      Call(*Handle, f, [](const std::string& call, const char* text) { Print(call + " h " + EncodeText(text)); });
    } else {
      Call(*Calc, f, [this](const std::string& call, const char* text) { TextResult(call, text); });
    }
  }

 private:
  template <typename TCalc, typename TPrintText>
  void Call(TCalc& calc, const std::vector<std::string>& f, TPrintText printText) {
    const std::string& c = f[0];
    if (c == "SetSentence" && f.size() == 2) {
      calc.SetSentence(DecodeText(f[1]).c_str());
      Print("SetSentence");
    } else if (c == "SetVarValue" && f.size() == 4) {
      const std::string name = DecodeText(f[1]), value = DecodeText(f[2]);
      calc.SetVarValue(name.c_str(), value.c_str(), static_cast<std::int32_t>(std::strtol(f[3].c_str(), nullptr, 10)));
      Print("SetVarValue");
    } else if (c == "ClearMemory" && f.size() == 1) {
      calc.ClearMemory();
      Print("ClearMemory");
    } else if (c == "Analyse" && f.size() == 1) {
      Print(std::string("Analyse ") + (calc.Analyse() ? "1" : "0"));
    } else if (c == "Run" && f.size() == 1) {
      Print(std::string("Run ") + (calc.Run() ? "1" : "0"));
    } else if (c == "GetTokens" && f.size() == 1) {
      printText(c, calc.GetTokens());
    } else if (c == "GetNumbers" && f.size() == 1) {
      printText(c, calc.GetNumbers());
    } else if (c == "GetVarnames" && f.size() == 1) {
      printText(c, calc.GetVarnames());
    } else if (c == "GetAnalyseError" && f.size() == 1) {
      printText(c, calc.GetAnalyseError());
    } else if (c == "GetRuntimeError" && f.size() == 1) {
      printText(c, calc.GetRuntimeError());
    } else if (c == "PeekPrevious" && f.size() == 1) {
      if (RecentIds[1] == 0) Fail("PeekPrevious needs two text results since the last load");
      Print("PeekPrevious r" + std::to_string(RecentIds[1]) + " " + EncodeText(Addresses[RecentIds[1] - 1]));
    } else if (c == "Reload" && f.size() == 1) {
      Load();
      Print("Reload");
    } else {
      Fail("unknown command or wrong number of fields: " + c);
    }
  }

  void Load() {
    Handle.reset();
    Calc.reset();
    Calc = std::make_unique<rulecalc::TRuleCalc>();
    Addresses.clear();
    RecentIds[0] = RecentIds[1] = 0;
  }

  // Addresses are numbered in order of first appearance since the last load.
  int AddressId(const char* address) {
    for (std::size_t i = 0; i < Addresses.size(); ++i)
      if (Addresses[i] == address) return static_cast<int>(i) + 1;
    Addresses.push_back(address);
    return static_cast<int>(Addresses.size());
  }

  void TextResult(const std::string& call, const char* text) {
    const int id = AddressId(text);
    RecentIds[1] = RecentIds[0];
    RecentIds[0] = id;
    Print(call + " r" + std::to_string(id) + " " + EncodeText(text));
  }

  static void Print(const std::string& line) { std::cout << line << '\n' << std::flush; }

  std::unique_ptr<rulecalc::TRuleCalc> Calc;
  std::unique_ptr<rulecalc::testing::THandleCalls> Handle;  // while the extended language is chosen
  std::vector<const char*> Addresses;
  int RecentIds[2] = {0, 0};  // address ids of the last two text results, the latest first
};

}  // namespace

int main() {
  TDriver driver;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string w; words >> w;) fields.push_back(w);
    if (!fields.empty()) driver.Command(fields);
  }
  return 0;
}
