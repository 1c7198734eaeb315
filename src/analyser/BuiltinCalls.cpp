#include "analyser/BuiltinFunction.h"
#include "analyser/Semanticanalysor.h"
#include "lexer/ExtendedKeywords.h"

namespace rulecalc {

namespace {

using S = EMScreen;
using C = EMCallShape;

// A function of the extended language: its messages are the common ones,
// written after its name.
constexpr SBuiltinFunction Extended(EMWordType keyword, EMOpCode op, std::uint8_t resultType, EMCallShape shape,
                                    EMScreen first, EMScreen second) {
  const bool text = first == S::Text;
  const EMMessage firstType = shape == C::OneArgument ? (text ? mCallArgumentNotText : mCallArgumentNotNumber)
                                                      : (text ? mCallFirstNotText : mCallFirstNotNumber);
  return {keyword,
          op,
          resultType,
          shape,
          first,
          second,
          shape == C::Pair && text,
          mKeywordIsNoVariableSuffix,
          mCallMissingArgument,
          firstType,
          mCallIncomplete,
          second == S::Text ? mCallSecondNotText : mCallSecondNotNumber,
          mCallMissingRightBracket};
}

// Messages a function does not use are given as mOperandSyntaxError; the
// pattern never reaches them.
constexpr SBuiltinFunction kBuiltins[] = {
    {wtTodate, opTodate, kNumberType, C::OneArgument, S::Text, S::None, false, mTodateMissingLeftBracket,
     mTodateMissingArgument, mTodateArgumentNotText, mOperandSyntaxError, mOperandSyntaxError,
     mTodateMissingRightBracket},
    {wtTochar, opTochar, kTextType, C::Tochar, S::Numeric, S::TextLiteral, false, mTocharMissingLeftBracket,
     mTocharMissingArgument, mTocharFirstNotDate, mTocharIncomplete, mTocharSecondNotText,
     mTocharMissingRightBracket},
    {wtAddyears, opAddyears, kNumberType, C::Pair, S::Numeric, S::Numeric, false, mAddyearsMissingLeftBracket,
     mAddyearsMissingArgument, mAddyearsFirstNotDate, mAddyearsIncomplete, mAddyearsSecondNotNumber,
     mAddyearsMissingRightBracket},
    {wtAddmonths, opAddmonths, kNumberType, C::Pair, S::Numeric, S::Numeric, false, mAddmonthsMissingLeftBracket,
     mAddmonthsMissingArgument, mAddmonthsFirstNotDate, mAddmonthsIncomplete,
     mAddmonthsSecondNotNumber, mAddmonthsMissingRightBracket},
    {wtAdddays, opAdddays, kNumberType, C::Pair, S::Numeric, S::Numeric, false, mAdddaysMissingLeftBracket,
     mAdddaysMissingArgument, mAdddaysFirstNotDate, mAdddaysIncomplete, mAdddaysSecondNotNumber,
     mAdddaysMissingRightBracket},
    {wtYear, opYear, kNumberType, C::OneArgument, S::Numeric, S::None, false, mYearMissingLeftBracket,
     mYearMissingArgument, mYearArgumentNotDate, mOperandSyntaxError, mOperandSyntaxError,
     mYearMissingRightBracket},
    {wtMonth, opMonth, kNumberType, C::OneArgument, S::Numeric, S::None, false, mMonthMissingLeftBracket,
     mMonthMissingArgument, mMonthArgumentNotDate, mOperandSyntaxError, mOperandSyntaxError,
     mMonthMissingRightBracket},
    {wtDay, opDay, kNumberType, C::OneArgument, S::Numeric, S::None, false, mDayMissingLeftBracket,
     mDayMissingArgument, mDayArgumentNotDate, mOperandSyntaxError, mOperandSyntaxError,
     mDayMissingRightBracket},
    {wtLastday, opLastday, kNumberType, C::OneArgument, S::Numeric, S::None, false, mLastdayMissingLeftBracket,
     mLastdayMissingArgument, mLastdayArgumentNotDate, mOperandSyntaxError, mOperandSyntaxError,
     mLastdayMissingRightBracket},
    {wtLength, opLength, kNumberType, C::OneArgument, S::Text, S::None, false, mLengthMissingLeftBracket,
     mLengthMissingArgument, mLengthArgumentNotText, mOperandSyntaxError, mOperandSyntaxError,
     mLengthMissingRightBracket},
    {wtSubstr, opSubstr, kTextType, C::Substr, S::Text, S::None, false, mSubstrMissingLeftBracket,
     mSubstrMissingArgument, mSubstrFirstNotText, mSubstrIncomplete, mOperandSyntaxError,
     mSubstrMissingRightBracket},
    {wtFindstr, opFindstr, kNumberType, C::Pair, S::Text, S::Text, true, mFindstrMissingLeftBracket,
     mFindstrMissingArgument, mFindstrFirstNotText, mFindstrIncomplete, mFindstrSecondNotText,
     mFindstrMissingRightBracket},
    {wtLg, opLg, kNumberType, C::OneArgument, S::Numeric, S::None, false, mLgMissingLeftBracket,
     mLgMissingArgument, mLgArgumentNotNumber, mOperandSyntaxError, mOperandSyntaxError,
     mLgMissingRightBracket},
    {wtNvl, opNvl, kNumberType, C::Nvl, S::None, S::None, false, mNvlMissingLeftBracket, mNvlMissingArgument,
     mOperandSyntaxError, mNvlIncomplete, mOperandSyntaxError, mNvlMissingRightBracket},
    Extended(wtTrim, opTrim, kTextType, C::OneArgument, S::Text, S::None),
    Extended(wtUpper, opUpper, kTextType, C::OneArgument, S::Text, S::None),
    Extended(wtLower, opLower, kTextType, C::OneArgument, S::Text, S::None),
    Extended(wtReplace, opReplace, kTextType, C::Replace, S::Text, S::Text),
    Extended(wtTonumber, opTonumber, kNumberType, C::OneArgument, S::Text, S::None),
    Extended(wtRound, opRound, kNumberType, C::Pair, S::Numeric, S::Numeric),
    Extended(wtAbs, opAbs, kNumberType, C::OneArgument, S::Numeric, S::None),
    Extended(wtMod, opMod, kNumberType, C::Pair, S::Numeric, S::Numeric),
    Extended(wtLengthc, opLengthc, kNumberType, C::OneArgument, S::Text, S::None),
    Extended(wtSubstrc, opSubstrc, kTextType, C::Substr, S::Text, S::None),
    Extended(wtFindstrc, opFindstrc, kNumberType, C::Pair, S::Text, S::Text),
};

}  // namespace

const SBuiltinFunction* FindBuiltinFunction(EMWordType keyword) {
  for (const SBuiltinFunction& function : kBuiltins)
    if (function.Keyword == keyword) return &function;
  return nullptr;
}

// Every call begins alike: the keyword, "(", and an argument that is not ")".
bool TSemanticAnalysor::ParseCallArguments(const SBuiltinFunction& function) {
  SCallPlace place;
  place.Name = TokenStart();
  const bool extended = IsExtendedKeyword(function.Keyword);
  const std::string written = extended ? Tokeniser.Word : std::string();
  Advance();
  // A new function's name without "(" is most likely a variable of that name.
  if (!Is(wtLeftBracket)) return extended ? FailKeywordAsVariable(written) : FailCall(function, function.LeftBracket);
  Advance();
  place.ArgumentStart = TokenStart();
  if (Is(wtRightBracket)) return FailCall(function, function.MissingArgument);
  switch (function.Shape) {
    case EMCallShape::OneArgument: return ParseOneArgumentCall(function, place);
    case EMCallShape::Tochar: return ParseTocharCall(function, place);
    case EMCallShape::Pair: return ParsePairCall(function, place);
    case EMCallShape::Substr: return ParseSubstrCall(function, place);
    case EMCallShape::Replace: return ParseReplaceCall(function, place);
    default: return ParseNvlCall(function);
  }
}

// Checks the current token as the first token of an argument. The order is:
// the literal test, then the variable lookup, then the type code.
bool TSemanticAnalysor::Screen(const SBuiltinFunction& function, EMScreen screen, EMMessage typeMessage) {
  const EMWordType k = Tokeniser.WordType;
  if (screen == EMScreen::None) return true;
  if (screen == EMScreen::TextLiteral) return k == wtString ? true : FailCall(function, typeMessage);
  if (k == wtNumber) return screen == EMScreen::Text ? FailCall(function, typeMessage) : true;
  if (k == wtString) return screen == EMScreen::Text ? true : FailCall(function, typeMessage);
  if (k != wtFieldName) return true;
  const std::optional<std::int32_t> type = VariableType(Tokeniser.Word);
  if (!type) return FailUnassigned(Tokeniser.Word);
  const bool refused = (screen == EMScreen::Text && *type == kNumberType) ||
                       (screen == EMScreen::Numeric && *type != kNumberType) ||
                       (screen == EMScreen::NvlNumeric && *type == kTextType);
  return refused ? FailCall(function, typeMessage) : true;
}

bool TSemanticAnalysor::ParseScreenedArgument(const SBuiltinFunction& function, EMScreen screen,
                                              EMMessage typeMessage) {
  return Screen(function, screen, typeMessage) && ParseExpression();
}

bool TSemanticAnalysor::Require(const SBuiltinFunction& function, EMWordType kind, EMMessage message) {
  return Is(kind) ? true : FailCall(function, message);
}

// Fails with the function's message; a function of the extended language
// writes its name before it ("UPPER" and "函数缺少参数!").
bool TSemanticAnalysor::FailCall(const SBuiltinFunction& function, EMMessage message) {
  if (!IsExtendedKeyword(function.Keyword)) return Fail(message);
  AnalyseError.assign(ExtendedKeywordSpelling(function.Keyword)).append(Message(message));
  return false;
}

// Appends the function's own instruction and steps past ")".
bool TSemanticAnalysor::FinishCall(const SBuiltinFunction& function, SCallPlace& place) {
  Emit(function.OpCode, {}, {}, function.ResultType);
  Machine.PlaceLastRecord(place.Name, place.ArgumentStart, place.ArgumentEnd);
  Advance();
  return true;
}

// f(a)
bool TSemanticAnalysor::ParseOneArgumentCall(const SBuiltinFunction& function, SCallPlace& place) {
  if (!ParseScreenedArgument(function, function.FirstScreen, function.FirstType)) return false;
  place.ArgumentEnd = TokenStart();
  if (!Require(function, wtRightBracket, function.RightBracket)) return false;
  return FinishCall(function, place);
}

// The first argument of a call of two or more, whose end a note shows, and the comma after it.
bool TSemanticAnalysor::ParseFirstArgumentAndComma(const SBuiltinFunction& function, SCallPlace& place) {
  if (!ParseScreenedArgument(function, function.FirstScreen, function.FirstType)) return false;
  place.ArgumentEnd = TokenStart();
  if (!Require(function, wtComma, function.Incomplete)) return false;
  Advance();
  return true;
}

// TOCHAR(date, "format"): the date waits on the stack while the format is
// computed into $S0, then comes back into $C0.
bool TSemanticAnalysor::ParseTocharCall(const SBuiltinFunction& function, SCallPlace& place) {
  if (!ParseFirstArgumentAndComma(function, place)) return false;
  if (!Screen(function, function.SecondScreen, function.SecondType)) return false;
  Emit(opPush, kRegC0, {}, kNumberType);
  if (!ParseExpression()) return false;
  Emit(opPop, kRegC0, {}, kNumberType);
  if (!Require(function, wtRightBracket, function.RightBracket)) return false;
  return FinishCall(function, place);
}

// f(a, b): a is pushed while b is compiled, then b moves to the second
// register and a comes back into the accumulator.
bool TSemanticAnalysor::ParsePairCall(const SBuiltinFunction& function, SCallPlace& place) {
  const std::uint8_t type = function.PairOfTexts ? kTextType : kNumberType;
  const char* accumulator = function.PairOfTexts ? kRegS0 : kRegC0;
  const char* second = function.PairOfTexts ? kRegS1 : kRegC1;
  if (!ParseFirstArgumentAndComma(function, place)) return false;
  if (!Screen(function, function.SecondScreen, function.SecondType)) return false;
  Emit(opPush, accumulator, {}, type);
  if (!ParseExpression()) return false;
  Emit(opMovR, second, accumulator, type);
  Emit(opPop, accumulator, {}, type);
  if (!Require(function, wtRightBracket, function.RightBracket)) return false;
  return FinishCall(function, place);
}

// SUBSTR(text, start, count): text in $S0, start in $C0, count in $C1. The
// text waits on the text stack and the start on the number stack while the
// later arguments are computed. A note about the call shows the start.
bool TSemanticAnalysor::ParseSubstrCall(const SBuiltinFunction& function, SCallPlace& place) {
  if (!ParseScreenedArgument(function, function.FirstScreen, function.FirstType)) return false;
  Emit(opPush, kRegS0, {}, kTextType);
  if (!Require(function, wtComma, function.Incomplete)) return false;
  Advance();
  place.ArgumentStart = TokenStart();
  if (!ParseExpression()) return false;
  place.ArgumentEnd = TokenStart();
  Emit(opPush, kRegC0);
  if (!Require(function, wtComma, function.Incomplete)) return false;
  Advance();
  if (!ParseExpression()) return false;
  Emit(opMovR, kRegC1, kRegC0);
  Emit(opPop, kRegC0);
  Emit(opPop, kRegS0, {}, kTextType);
  if (!Require(function, wtRightBracket, function.RightBracket)) return false;
  return FinishCall(function, place);
}

// NVL(value, default): the first token alone picks the form. A string
// literal or a text variable gives the text form; anything else, a variable
// of a type code other than text included, gives the numeric form.
bool TSemanticAnalysor::ParseNvlCall(const SBuiltinFunction& function) {
  bool text = Is(wtString);
  if (Is(wtFieldName)) {
    const std::optional<std::int32_t> type = VariableType(Tokeniser.Word);
    if (!type) return FailUnassigned(Tokeniser.Word);
    text = *type == kTextType;
  }
  const std::uint8_t form = text ? kTextType : kNumberType;
  const char* accumulator = text ? kRegS0 : kRegC0;
  if (!ParseExpression()) return false;
  if (!Require(function, wtComma, function.Incomplete)) return false;
  Advance();
  Emit(opPush, accumulator, {}, form);
  if (!Screen(function, text ? EMScreen::Text : EMScreen::NvlNumeric, text ? mNvlSecondNotText : mNvlSecondNotNumber))
    return false;
  if (!ParseExpression()) return false;
  if (!Require(function, wtRightBracket, function.RightBracket)) return false;
  Emit(opMovR, text ? kRegS1 : kRegC1, accumulator, form);
  Emit(opPop, accumulator, {}, form);
  Emit(opNvl, {}, {}, form);
  Advance();
  return true;
}

// REPLACE(text, old, new): the text in $S0, the old text in $RS and the new
// one in $S1. $RS may hold the left side of a comparison whose right side
// this call is part of, so it waits on the text stack during the call and
// comes back after it; the earlier arguments wait there too while the later
// ones are computed.
bool TSemanticAnalysor::ParseReplaceCall(const SBuiltinFunction& function, SCallPlace& place) {
  Emit(opPush, kRegRS, {}, kTextType);
  if (!ParseFirstArgumentAndComma(function, place)) return false;
  if (!Screen(function, function.SecondScreen, function.SecondType)) return false;
  Emit(opPush, kRegS0, {}, kTextType);
  if (!ParseExpression()) return false;
  if (!Require(function, wtComma, function.Incomplete)) return false;
  Advance();
  if (!Screen(function, function.SecondScreen, mCallThirdNotText)) return false;
  Emit(opPush, kRegS0, {}, kTextType);
  if (!ParseExpression()) return false;
  if (!Require(function, wtRightBracket, function.RightBracket)) return false;
  Emit(opMovR, kRegS1, kRegS0, kTextType);
  Emit(opPop, kRegRS, {}, kTextType);
  Emit(opPop, kRegS0, {}, kTextType);
  Emit(function.OpCode, {}, {}, function.ResultType);
  Machine.PlaceLastRecord(place.Name, place.ArgumentStart, place.ArgumentEnd);
  Emit(opPop, kRegRS, {}, kTextType);
  Advance();
  return true;
}

}  // namespace rulecalc
