#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analyser/AnalysisWarning.h"
#include "common/Messages.h"
#include "common/TypeCode.h"
#include "lexer/TokenAnalyser.h"
#include "vm/VirtualMachine.h"

namespace rulecalc {

// The deepest nesting of brackets and function calls a sentence may use.
constexpr int kMaxNestingDepth = 1000;

struct SBuiltinFunction;
enum class EMScreen : std::uint8_t;

// Where a built-in call sits in the sentence: its name, and the argument a
// note about the call would show.
struct SCallPlace {
  std::int32_t Name = 0;
  std::int32_t ArgumentStart = 0;
  std::int32_t ArgumentEnd = 0;
};

// Turns the sentence into code for the machine in one pass of recursive
// descent: each routine checks the tokens it expects and appends
// instructions as it goes. The type of whatever was compiled last is the
// ValueType of the last record in the code list. The first error replaces
// AnalyseError and makes every level return false; records appended before
// it stay.
class TSemanticAnalysor {
 public:
  TSemanticAnalysor(TVirtualMachine& machine, TTokenAnalyser& tokeniser)
      : Machine(machine), Tokeniser(tokeniser) {}

  // sentence := ";" | IF if-tail | logical ";"
  // Compiles the statement after the tokeniser's current position. Warnings
  // then holds the type mixtures of this statement; it is empty when the
  // analysis failed.
  bool Analyse();

  TVirtualMachine& Machine;
  TTokenAnalyser& Tokeniser;
  std::string AnalyseError;  // the last failure's message; never cleared
  std::vector<SAnalysisWarning> Warnings;

 private:
  bool ParseStatement();
  bool ParseIfStatement();
  bool ParseLogical();
  bool ParseCondition();
  bool ParseComparison(std::int32_t start);
  bool ParseExpression();
  bool ParseTerm();
  bool ParseSignedTerm();
  bool ParseTermOperations();
  bool ParseSignedFactor();
  bool ParseFactor();
  void EmitNegation();
  bool ParseRightOperand(bool (TSemanticAnalysor::*parseOperand)(), EMOpCode op, std::uint8_t type,
                         std::int32_t operatorPosition);
  bool ParseBracketedExpression();
  bool ParseVariable();
  bool ParseNull();
  bool ParseBuiltinCall();

  // Conditions of the extended language (ExtendedConditions.cpp).
  void FindConditionBrackets();
  bool IsConditionBracket() const;
  bool ParseNotCondition();
  bool ParseConditionGroup();
  bool ParseInList(std::int32_t start);
  bool ParseInListValue(std::uint8_t type);
  bool ParseIsEmpty(std::int32_t start);
  std::string ConditionOperand(std::int32_t start);
  void NoteNameRead();
  bool FailKeywordAsVariable(const std::string& word);

  // Built-in call patterns (BuiltinCalls.cpp).
  bool ParseCallArguments(const SBuiltinFunction& function);
  bool ParseOneArgumentCall(const SBuiltinFunction& function, SCallPlace& place);
  bool ParseFirstArgumentAndComma(const SBuiltinFunction& function, SCallPlace& place);
  bool ParseTocharCall(const SBuiltinFunction& function, SCallPlace& place);
  bool ParsePairCall(const SBuiltinFunction& function, SCallPlace& place);
  bool ParseSubstrCall(const SBuiltinFunction& function, SCallPlace& place);
  bool ParseNvlCall(const SBuiltinFunction& function);
  bool ParseReplaceCall(const SBuiltinFunction& function, SCallPlace& place);
  bool Screen(const SBuiltinFunction& function, EMScreen screen, EMMessage typeMessage);
  bool ParseScreenedArgument(const SBuiltinFunction& function, EMScreen screen, EMMessage typeMessage);
  bool Require(const SBuiltinFunction& function, EMWordType kind, EMMessage message);
  bool FinishCall(const SBuiltinFunction& function, SCallPlace& place);
  bool FailCall(const SBuiltinFunction& function, EMMessage message);

  // Takes the next token, and one more if that one is white space.
  void Advance();
  bool Is(EMWordType kind) const { return Tokeniser.WordType == kind; }
  // Where the current token starts in the sentence.
  std::int32_t TokenStart() const {
    return Tokeniser.Position - static_cast<std::int32_t>(Tokeniser.Word.size());
  }
  // Where the clause just parsed ends: the current token, or the end of the sentence.
  std::int32_t ClauseEnd() const { return Is(wtEnd) ? Tokeniser.Position : TokenStart(); }
  void Warn(EWarningKind kind, std::int32_t position, std::string message);
  void WarnInOrder(EWarningKind kind, std::int32_t position, std::string message);
  std::string SentenceBetween(std::int32_t start, std::int32_t end) const;
  // Replaces AnalyseError and returns false.
  bool Fail(EMMessage message);
  bool FailUnassigned(std::string_view name);
  // The type code of the named variable; nothing when the table lacks it.
  std::optional<std::int32_t> VariableType(std::string_view name) const;
  void Emit(EMOpCode op, std::string_view operand1 = {}, std::string_view operand2 = {},
            std::uint8_t valueType = kNumberType) {
    Machine.AddCode(op, operand1, operand2, valueType);
  }
  std::uint8_t LastType() const { return Machine.LastValueType(); }

  int Depth = 0;  // brackets and calls open around the current token

  // A variable name read in a sentence of the extended form, and where.
  struct SNameRead {
    std::int32_t Position = 0;
    std::string Name;
  };
  // The statement needs the extended form of code: a condition in brackets,
  // NOT, IN or IS. Its comparisons then carry the explanation of their
  // condition ("#n"), and NOT, IN and bracketed conditions are groups.
  bool ExtendedForm = false;
  std::vector<std::int32_t> ConditionBrackets;  // where "(" opens a condition, in order
  std::vector<SNameRead> NamesRead;            // in the order of the sentence
  int ConditionGroups = 0;  // bracketed conditions open around the current token
  int Unexplained = 0;      // NOTs open around the current token: their parts explain nothing
};

}  // namespace rulecalc
