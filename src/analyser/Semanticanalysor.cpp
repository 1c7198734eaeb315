#include "analyser/Semanticanalysor.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

#include "analyser/BuiltinFunction.h"
#include "analyser/NestingLevel.h"
#include "boundary/VarTable.h"
#include "common/GbkText.h"
#include "lexer/ExtendedKeywords.h"

namespace rulecalc {

namespace {

bool IsComparisonOperator(EMWordType k) {
  return k == wtEqual || k == wtLess || k == wtGreat || k == wtLessEqual || k == wtGreatEqual ||
         k == wtUnequal;
}

// < <= > >=: on two texts they order bytes, which is seldom what a number or date written as text means.
bool IsOrderingOperator(EMWordType k) {
  return k == wtLess || k == wtGreat || k == wtLessEqual || k == wtGreatEqual;
}

// How a chain of comparisons joined by AND and OR is read: from left to
// right, so each change of operator closes a bracket around what came before
// ("A>1 OR B>1 AND C>1" is "(A>1 OR B>1) AND C>1").
class TLogicalReading {
 public:
  // The first comparison.
  explicit TLogicalReading(std::string comparison) : Reading(std::move(comparison)) {}
  // The next comparison and the operator before it (op as written, kind AND or OR).
  void Add(EMWordType kind, const std::string& op, const std::string& comparison, std::int32_t operatorPosition) {
    if (LastKind && *LastKind != kind) {
      if (!Mixed) Mixed = operatorPosition;
      Reading = "(" + Reading + ")";
    }
    Reading += " " + op + " " + comparison;
    LastKind = kind;
  }
  // Where AND and OR first meet: the position of the second kind's operator.
  std::optional<std::int32_t> MixedAt() const { return Mixed; }
  const std::string& Text() const { return Reading; }

 private:
  std::string Reading;
  std::optional<EMWordType> LastKind;
  std::optional<std::int32_t> Mixed;
};

// The reading a warning shows, cut after about a kilobyte (on a character)
// with "...", so that deeply nested conditions, each shown inside the
// reading of the one around it, cannot make the warnings grow without bound.
std::string ShownReading(const std::string& reading) {
  constexpr std::size_t kShownBytes = 1024;
  if (reading.size() <= kShownBytes) return reading;
  std::size_t cut = 0;
  while (cut < kShownBytes) cut += GbkCharLength(reading, cut);
  return reading.substr(0, cut) + "...";
}

EMOpCode ComparisonOpCode(EMWordType k) {
  switch (k) {
    case wtEqual: return opEqual;
    case wtLess: return opLess;
    case wtGreat: return opGreat;
    case wtLessEqual: return opLessEqual;
    case wtGreatEqual: return opGreatEqual;
    default: return opUnequal;
  }
}

bool EndsClause(EMWordType k) { return k == wtEnd || k == wtSemicolon || k == wtError; }

}  // namespace

void TSemanticAnalysor::Advance() {
  Tokeniser.NextToken();
  if (Tokeniser.WordType == wtSpliter) Tokeniser.NextToken();
}

bool TSemanticAnalysor::Fail(EMMessage message) {
  AnalyseError = Message(message);
  return false;
}

// "变量" + name + "未赋值!": the name is not in the variable table.
bool TSemanticAnalysor::FailUnassigned(std::string_view name) {
  std::string text(Message(mUnassignedVariablePrefix));
  text.append(name).append(Message(mUnassignedVariableSuffix));
  AnalyseError = std::move(text);
  return false;
}

std::optional<std::int32_t> TSemanticAnalysor::VariableType(std::string_view name) const {
  const SVarStruct* record = Machine.Vars.Find(name);
  if (record == nullptr) return std::nullopt;
  return record->Type;
}

void TSemanticAnalysor::Warn(EWarningKind kind, std::int32_t position, std::string message) {
  Warnings.push_back({kind, position, std::move(message)});
}

// A warning found after later ones (at the end of the clause it is about)
// still stands in the order of the sentence.
void TSemanticAnalysor::WarnInOrder(EWarningKind kind, std::int32_t position, std::string message) {
  const auto later = std::find_if(Warnings.begin(), Warnings.end(),
                                  [position](const SAnalysisWarning& w) { return w.Position > position; });
  Warnings.insert(later, {kind, position, std::move(message)});
}

// The sentence's bytes from start up to end, without the blanks before end.
std::string TSemanticAnalysor::SentenceBetween(std::int32_t start, std::int32_t end) const {
  std::string_view text(Tokeniser.Sentence.data() + start, static_cast<std::size_t>(end - start));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return std::string(text);
}

bool TSemanticAnalysor::Analyse() {
  Warnings.clear();
  FindConditionBrackets();
  const bool compiled = ParseStatement();
  if (!compiled) Warnings.clear();
  return compiled;
}

// sentence := ";" | IF if-tail | logical ";"
bool TSemanticAnalysor::ParseStatement() {
  Depth = 0;
  ConditionGroups = 0;
  Unexplained = 0;
  NamesRead.clear();
  Advance();
  if (Is(wtSemicolon)) return true;
  if (Is(wtIf)) {
    Emit(opNOP, kMarkerIf);
    Advance();
    if (EndsClause(Tokeniser.WordType)) return Fail(mIfMissingCondition);
    return ParseIfStatement();
  }
  if (!ParseLogical()) return false;
  if (!Is(wtSemicolon)) return Fail(mStatementMissingSemicolon);
  return true;
}

// if-tail := logical THEN logical ( ";" | ELSE logical ";" )
// Code: cond, JNB false, $THEN, then-clause, [JMP end, false:, $ELSE, else-clause, end:]
// Both labels are made first, so every IF uses up two label numbers.
bool TSemanticAnalysor::ParseIfStatement() {
  const std::string falseLabel = Machine.NewLabel();
  const std::string endLabel = Machine.NewLabel();
  if (!ParseLogical()) return false;
  if (!Is(wtThen)) return Fail(mIfMissingThenKeyword);
  Emit(opJNB, falseLabel);
  Emit(opNOP, kMarkerThen);
  Advance();
  if (EndsClause(Tokeniser.WordType)) return Fail(mIfMissingThenClause);
  if (!ParseLogical()) return false;
  if (Is(wtEnd) || Is(wtError)) return Fail(mIfMissingSemicolon);
  if (Is(wtSemicolon)) {
    Emit(opNOP, falseLabel);
    return true;
  }
  if (!Is(wtElse)) return Fail(mIfMissingElseKeyword);
  Emit(opJMP, endLabel);
  Emit(opNOP, falseLabel);
  Emit(opNOP, kMarkerElse);
  Advance();
  if (EndsClause(Tokeniser.WordType)) return Fail(mIfMissingElseClause);
  if (!ParseLogical()) return false;
  if (!Is(wtSemicolon)) return Fail(mIfMissingSemicolon);
  Emit(opNOP, endLabel);
  return true;
}

// logical := condition { (AND | OR) condition }
// AND and OR have equal precedence and apply from left to right; every
// condition is evaluated. Where they are mixed, a warning shows the reading
// with brackets.
bool TSemanticAnalysor::ParseLogical() {
  std::int32_t start = TokenStart();
  if (!ParseCondition()) return false;
  TLogicalReading reading(SentenceBetween(start, ClauseEnd()));
  for (;;) {
    const EMWordType k = Tokeniser.WordType;
    if (k == wtEnd || k == wtSemicolon || k == wtThen || k == wtElse) break;
    if (k == wtRightBracket && ConditionGroups > 0) break;
    if (k == wtError) return Fail(mExpressionSyntaxError);
    const std::string written = Tokeniser.Word;
    const std::int32_t operatorPosition = TokenStart();
    Advance();
    if (k != wtAnd && k != wtOr) return Fail(mLogicalOperatorExpected);
    if (Is(wtEnd)) break;  // the caller fails on the missing ";" or keyword
    Emit(opPush, kRegBR);
    start = TokenStart();
    if (!ParseCondition()) return false;
    reading.Add(k, written, SentenceBetween(start, ClauseEnd()), operatorPosition);
    Emit(opPop, kRegBR1);
    Emit(k == wtAnd ? opAnd : opOr);
  }
  if (reading.MixedAt()) WarnInOrder(EWarningKind::AndOrLeftToRight, *reading.MixedAt(),
                                     Message(mWarnAndOrLeftToRight) + ShownReading(reading.Text()));
  return true;
}

// condition := comparison
//            | NOT condition | "(" logical ")"                  extended language
bool TSemanticAnalysor::ParseCondition() {
  const std::int32_t start = TokenStart();
  if (ExtendedForm) {
    if (Is(wtNot)) return ParseNotCondition();
    if (Is(wtLeftBracket) && IsConditionBracket()) return ParseConditionGroup();
  }
  return ParseComparison(start);
}

// comparison := expression compare-op expression
//             | expression [NOT] IN "(" value { "," value } ")"    extended language
//             | expression IS [NOT] EMPTY                          extended language
// The left side is saved by its own type; the comparison takes the type of
// the right side.
bool TSemanticAnalysor::ParseComparison(std::int32_t start) {
  if (!ParseExpression()) return false;
  const EMWordType k = Tokeniser.WordType;
  if (k == wtIn || k == wtNot) return ParseInList(start);
  if (k == wtIs) return ParseIsEmpty(start);
  if (!IsComparisonOperator(k)) return Fail(mComparisonOperatorExpected);
  const std::uint8_t leftType = LastType();
  const std::int32_t operatorPosition = TokenStart();
  if (leftType == kNumberType) Emit(opMovR, kRegR0, kRegC0, kNumberType);
  else Emit(opMovR, kRegRS, kRegS0, kTextType);
  Advance();
  const EMWordType next = Tokeniser.WordType;
  if (next == wtEnd || next == wtError || next == wtAnd || next == wtOr || IsComparisonOperator(next))
    return Fail(mComparisonMissingRightSide);
  if (!ParseExpression()) return false;
  if (LastType() != leftType)
    Warn(EWarningKind::TextComparedWithNumber, operatorPosition, Message(mWarnTextComparedWithNumber));
  else if (leftType == kTextType && IsOrderingOperator(k))
    Warn(EWarningKind::TextsOrderedByBytes, operatorPosition, Message(mWarnTextsOrderedByBytes));
  Emit(ComparisonOpCode(k), ExtendedForm ? ConditionOperand(start) : std::string(), {}, LastType());
  return true;
}

// expression := term { ("+" | "-") signed-term }     numbers only; a text term ends it
bool TSemanticAnalysor::ParseExpression() {
  if (!ParseTerm()) return false;
  EMWordType k = Tokeniser.WordType;
  if (LastType() != kNumberType) return true;
  while (k == wtAdd || k == wtSub) {
    const std::int32_t operatorPosition = TokenStart();
    Advance();
    if (!ParseRightOperand(&TSemanticAnalysor::ParseSignedTerm, k == wtAdd ? opAdd : opSub, kNumberType,
                           operatorPosition))
      return false;
    k = Tokeniser.WordType;
  }
  return true;
}

// The right operand of a two-operand operation: the left operand waits on
// the stack while the right one is compiled, then the right one moves to the
// second register ($C1 or $S1), the left one comes back into the accumulator
// ($C0 or $S0), and the operation follows. An operand of the other type is
// compiled all the same, with a warning at the operator.
bool TSemanticAnalysor::ParseRightOperand(bool (TSemanticAnalysor::*parseOperand)(), EMOpCode op,
                                          std::uint8_t type, std::int32_t operatorPosition) {
  const char* accumulator = type == kTextType ? kRegS0 : kRegC0;
  const char* second = type == kTextType ? kRegS1 : kRegC1;
  Emit(opPush, accumulator, {}, type);
  const std::int32_t operandStart = TokenStart();
  if (!(this->*parseOperand)()) return false;
  const std::int32_t operandEnd = TokenStart();
  if (LastType() != type) {
    if (type == kTextType) Warn(EWarningKind::ConcatOnNumber, operatorPosition, Message(mWarnConcatOnNumber));
    else Warn(EWarningKind::ArithmeticOnText, operatorPosition, Message(mWarnArithmeticOnText));
  }
  Emit(opMovR, second, accumulator, type);
  Emit(opPop, accumulator, {}, type);
  Emit(op, {}, {}, type);
  if (op == opDiv) Machine.PlaceLastRecord(operatorPosition, operandStart, operandEnd);
  return true;
}

// term        := factor { ("*" | "/") signed-factor }    for numbers
//              | factor { "||" factor }                 for texts
bool TSemanticAnalysor::ParseTerm() { return ParseFactor() && ParseTermOperations(); }

// signed-term := signed-factor, then as a term: the right operand of "+" or "-".
bool TSemanticAnalysor::ParseSignedTerm() { return ParseSignedFactor() && ParseTermOperations(); }

// The operations of a term after its first factor, chosen by that factor's
// type. An operator of the other type is left for the caller.
bool TSemanticAnalysor::ParseTermOperations() {
  EMWordType k = Tokeniser.WordType;
  if (LastType() == kTextType) {
    while (k == wtContacter) {
      const std::int32_t operatorPosition = TokenStart();
      Advance();
      // A name that is not found passes here; ParseFactor reports it.
      if (Is(wtFieldName)) {
        const std::optional<std::int32_t> type = VariableType(Tokeniser.Word);
        if (type && *type != kTextType) return Fail(mConcatNeedsTextVariable);
      }
      if (!ParseRightOperand(&TSemanticAnalysor::ParseFactor, opContact, kTextType, operatorPosition))
        return false;
      k = Tokeniser.WordType;
    }
    return true;
  }
  while (k == wtMul || k == wtDiv) {
    const std::int32_t operatorPosition = TokenStart();
    Advance();
    if (!ParseRightOperand(&TSemanticAnalysor::ParseSignedFactor, k == wtMul ? opMul : opDiv, kNumberType,
                           operatorPosition))
      return false;
    k = Tokeniser.WordType;
  }
  return true;
}

// signed-factor := { "+" | "-" } factor     right after "+", "-", "*" or "/"
// The signs apply to this factor alone: each "-" turns it into 0 - factor
// once it is compiled; "+" adds nothing. The signs are counted rather than
// parsed recursively, so a long run of them needs no deep recursion. A
// negated text is arithmetic on a text, with a warning at its first "-".
bool TSemanticAnalysor::ParseSignedFactor() {
  std::size_t minusSigns = 0;
  std::int32_t firstMinusPosition = 0;
  while (Is(wtAdd) || Is(wtSub)) {
    if (Is(wtSub) && minusSigns++ == 0) firstMinusPosition = TokenStart();
    Advance();
  }
  if (!ParseFactor()) return false;
  if (minusSigns > 0 && LastType() != kNumberType)
    Warn(EWarningKind::ArithmeticOnText, firstMinusPosition, Message(mWarnArithmeticOnText));
  for (; minusSigns > 0; --minusSigns) EmitNegation();
  return true;
}

// $C0 := 0 - $C0, through $C1. A null number becomes 0, as in every subtraction.
void TSemanticAnalysor::EmitNegation() {
  Emit(opMovR, kRegC1, kRegC0, kNumberType);
  Emit(opMovD, kRegC0, "0", kNumberType);
  Emit(opSub, {}, {}, kNumberType);
}

// factor := "(" expression ")" | variable | number | NULL | string
//         | built-in call | sign
// A sign where no operator comes before it (at the start of an expression,
// after "(", a comparison, a comma, AND, OR, THEN, ELSE) loads 0 and stays
// current, so that ParseExpression applies it as "0 - x" or "0 + x".
bool TSemanticAnalysor::ParseFactor() {
  switch (Tokeniser.WordType) {
    case wtLeftBracket:
      return ParseBracketedExpression();
    case wtFieldName:
      return ParseVariable();
    case wtNumber:
      Emit(opMovD, kRegC0, Tokeniser.Word, kNumberType);
      Advance();
      return true;
    case wtNull:
      return ParseNull();
    case wtString:
      Emit(opMovD, kRegS0, std::string_view(Tokeniser.Word).substr(1, Tokeniser.Word.size() - 2), kTextType);
      Advance();
      return true;
    case wtTodate: case wtTochar: case wtAddyears: case wtAddmonths: case wtAdddays:
    case wtYear: case wtMonth: case wtDay: case wtLastday: case wtLength: case wtSubstr:
    case wtFindstr: case wtLg: case wtNvl:
    case wtTrim: case wtUpper: case wtLower: case wtReplace: case wtTonumber: case wtRound: case wtAbs:
    case wtMod: case wtLengthc: case wtSubstrc: case wtFindstrc:
      return ParseBuiltinCall();
    case wtSub: case wtAdd:
      Emit(opMovD, kRegC0, "0", kNumberType);
      return true;
    default:
      return IsExtendedKeyword(Tokeniser.WordType) ? FailKeywordAsVariable(Tokeniser.Word) : Fail(mOperandSyntaxError);
  }
}

// "(" expression ")": no code of its own; the type is the enclosed one.
bool TSemanticAnalysor::ParseBracketedExpression() {
  const TNestingLevel level(Depth);
  if (level.TooDeep()) return Fail(mNestingTooDeep);
  Advance();
  if (!ParseExpression()) return false;
  if (!Is(wtRightBracket)) return Fail(mMissingRightBracket);
  Advance();
  return true;
}

// A text variable loads into $S0, any other type code into $C0 (a code other
// than 0 with a warning: "变量" + name + "的类型代码不是0或1,按数值处理!").
bool TSemanticAnalysor::ParseVariable() {
  const std::optional<std::int32_t> type = VariableType(Tokeniser.Word);
  if (!type) return FailUnassigned(Tokeniser.Word);
  if (*type != kNumberType && *type != kTextType) {
    std::string text(Message(mUnassignedVariablePrefix));
    Warn(EWarningKind::UnusualTypeCode, TokenStart(), text.append(Tokeniser.Word).append(Message(mWarnTypeCodeSuffix)));
  }
  if (ExtendedForm) NoteNameRead();
  if (*type == kTextType) Emit(opMovF, kRegS0, Tokeniser.Word, kTextType);
  else Emit(opMovF, kRegC0, Tokeniser.Word, kNumberType);
  if (*type != kTextType) Machine.PlaceLastRecord(TokenStart(), TokenStart(), Tokeniser.Position);
  Advance();
  return true;
}

// NULL takes the type of the last record: the empty text after a text, the
// null number otherwise (also when nothing was compiled yet).
bool TSemanticAnalysor::ParseNull() {
  if (LastType() == kTextType) Emit(opMovD, kRegS0, {}, kTextType);
  else Emit(opMovD, kRegC0, NullNumberText, kNumberType);
  Advance();
  return true;
}

bool TSemanticAnalysor::ParseBuiltinCall() {
  const TNestingLevel level(Depth);
  if (level.TooDeep()) return Fail(mNestingTooDeep);
  const SBuiltinFunction* function = FindBuiltinFunction(Tokeniser.WordType);
  if (function == nullptr) return Fail(mOperandSyntaxError);
  return ParseCallArguments(*function);
}

}  // namespace rulecalc
