// The conditions only the extended language has: NOT, a condition in
// brackets, IN and IS EMPTY. A statement that uses one is compiled in the
// extended form, where each condition's explanation is made here, from the
// sentence's own words, because the machine can no longer read clauses off
// the sentence between AND and OR: every comparison names its condition
// ("#n") and NOT, IN and bracketed conditions are groups of the explanation.
// A statement without them compiles exactly as in the classic language.

#include <algorithm>
#include <string>
#include <vector>

#include "analyser/NestingLevel.h"
#include "analyser/Semanticanalysor.h"
#include "lexer/ExtendedKeywords.h"

namespace rulecalc {

namespace {

bool IsFunctionKeyword(EMWordType k) {
  return (k >= wtLg && k <= wtLastday) || (k >= wtTrim && k <= wtFindstrc);
}

// Words that only a condition holds, never an expression.
bool MarksCondition(EMWordType k) {
  return k == wtEqual || k == wtLess || k == wtGreat || k == wtLessEqual || k == wtGreatEqual ||
         k == wtUnequal || k == wtAnd || k == wtOr || k == wtNot || k == wtIn || k == wtIs;
}

// A word that may follow a variable but cannot start a condition: after
// NOT it shows a classic sentence's variable NOT ("NOT-1>A" subtracts), so
// the sentence is refused rather than read as a negation.
bool FollowsAVariable(EMWordType k) {
  return k == wtAdd || k == wtSub || k == wtMul || k == wtDiv || k == wtContacter || k == wtEqual ||
         k == wtLess || k == wtGreat || k == wtLessEqual || k == wtGreatEqual || k == wtUnequal;
}

bool EndsCondition(EMWordType k) {
  return k == wtEnd || k == wtSemicolon || k == wtError || k == wtAnd || k == wtOr || k == wtThen ||
         k == wtElse || k == wtRightBracket;
}

// A "(" seen while looking ahead: whether it opens a call's arguments, and
// whether a condition's word stands inside it (outside any call of its own).
struct SOpenBracket {
  std::int32_t Position = 0;
  bool Call = false;
  bool Condition = false;
};

}  // namespace

// Looks through the statement once before it is compiled: a "(" opens a
// condition when a comparison, AND, OR, NOT, IN or IS stands inside it
// (not inside a call), since an expression holds none of them. The same
// look tells whether the statement needs the extended form.
void TSemanticAnalysor::FindConditionBrackets() {
  ExtendedForm = false;
  ConditionBrackets.clear();
  if (Tokeniser.Language != ELanguage::Extended) return;
  const std::int32_t resume = Tokeniser.Position;
  std::vector<SOpenBracket> open;
  EMWordType previous = wtEnd;
  for (Tokeniser.NextToken(); !Is(wtEnd) && !Is(wtSemicolon); Tokeniser.NextToken()) {
    const EMWordType k = Tokeniser.WordType;
    if (k == wtSpliter) continue;
    if (k == wtNot || k == wtIn || k == wtIs) ExtendedForm = true;
    if (k == wtLeftBracket) {
      open.push_back({TokenStart(), IsFunctionKeyword(previous), false});
    } else if (k == wtRightBracket && !open.empty()) {
      const SOpenBracket closed = open.back();
      open.pop_back();
      if (closed.Condition) {
        ConditionBrackets.push_back(closed.Position);
        if (!open.empty() && !open.back().Call) open.back().Condition = true;
      }
    } else if (MarksCondition(k) && !open.empty() && !open.back().Call) {
      open.back().Condition = true;
    }
    previous = k;
  }
  Tokeniser.Position = resume;
  std::sort(ConditionBrackets.begin(), ConditionBrackets.end());
  if (!ConditionBrackets.empty()) ExtendedForm = true;
}

bool TSemanticAnalysor::IsConditionBracket() const {
  return std::binary_search(ConditionBrackets.begin(), ConditionBrackets.end(), TokenStart());
}

// NOT condition: true when the condition is false. Explained as a whole
// ("A::NOT A>1;"), since what the condition said held.
bool TSemanticAnalysor::ParseNotCondition() {
  const TNestingLevel level(Depth);
  if (level.TooDeep()) return Fail(mNestingTooDeep);
  const std::int32_t start = TokenStart();
  const std::string written = Tokeniser.Word;
  Advance();
  if (FollowsAVariable(Tokeniser.WordType)) return FailKeywordAsVariable(written);
  if (EndsCondition(Tokeniser.WordType)) return Fail(mNotMissingCondition);
  Emit(opMark);
  ++Unexplained;
  const bool parsed = ParseCondition();
  --Unexplained;
  if (!parsed) return false;
  Emit(opNot);
  Emit(opExplain, ConditionOperand(start));
  return true;
}

// "(" logical ")": a group of the explanation, so that a true AND or OR
// inside drops only what the group gathered.
bool TSemanticAnalysor::ParseConditionGroup() {
  const TNestingLevel level(Depth);
  if (level.TooDeep()) return Fail(mNestingTooDeep);
  Advance();
  Emit(opMark);
  ++ConditionGroups;
  const bool parsed = ParseLogical();
  --ConditionGroups;
  if (!parsed) return false;
  if (!Is(wtRightBracket)) return Fail(mMissingRightBracket);
  Advance();
  Emit(opUnmark);
  return true;
}

// expression [NOT] IN "(" value { "," value } ")": the expression, computed
// once, equals one of the values. The values are constants of the
// expression's type (NULL: the null number, or the empty text).
bool TSemanticAnalysor::ParseInList(std::int32_t start) {
  const std::uint8_t type = LastType();
  const bool negated = Is(wtNot);
  if (negated) {
    Advance();
    if (!Is(wtIn)) return Fail(mComparisonOperatorExpected);
  }
  Advance();
  if (!Is(wtLeftBracket)) return Fail(mInMissingLeftBracket);
  Advance();
  Emit(opMark);
  if (type == kTextType) Emit(opMovR, kRegRS, kRegS0, kTextType);
  else Emit(opMovR, kRegR0, kRegC0, kNumberType);
  for (bool first = true;; first = false) {
    if (!first) Emit(opPush, kRegBR);
    if (!ParseInListValue(type)) return false;
    Emit(opEqual, "#", {}, type);
    if (!first) {
      Emit(opPop, kRegBR1);
      Emit(opOr);
    }
    if (Is(wtRightBracket)) break;
    if (!Is(wtComma)) return Fail(mInListMissingRightBracket);
    Advance();
  }
  Advance();
  if (negated) Emit(opNot);
  Emit(opExplain, ConditionOperand(start));
  return true;
}

// value := ["+" | "-"] number | string | NULL, loaded into $C0 or $S0.
bool TSemanticAnalysor::ParseInListValue(std::uint8_t type) {
  if (Is(wtNull)) {
    if (type == kTextType) Emit(opMovD, kRegS0, {}, kTextType);
    else Emit(opMovD, kRegC0, NullNumberText, kNumberType);
    Advance();
    return true;
  }
  if (Is(wtString)) {
    if (type != kTextType) return Fail(mInListTypeMismatch);
    Emit(opMovD, kRegS0, std::string_view(Tokeniser.Word).substr(1, Tokeniser.Word.size() - 2), kTextType);
    Advance();
    return true;
  }
  std::string number;
  if (Is(wtSub) || Is(wtAdd)) {
    if (Is(wtSub)) number = "-";
    Advance();
    if (!Is(wtNumber)) return Fail(mInListValueExpected);
  }
  if (!Is(wtNumber)) return Fail(mInListValueExpected);
  if (type == kTextType) return Fail(mInListTypeMismatch);
  Emit(opMovD, kRegC0, number + Tokeniser.Word, kNumberType);
  Advance();
  return true;
}

// expression IS [NOT] EMPTY: a text without bytes, a number that is the
// null number (an empty or unreadable value), as "= NULL" tests them.
bool TSemanticAnalysor::ParseIsEmpty(std::int32_t start) {
  const std::uint8_t type = LastType();
  Advance();
  const bool negated = Is(wtNot);
  if (negated) Advance();
  if (!Is(wtEmpty)) return Fail(mIsMissingEmpty);
  Advance();
  if (type == kTextType) {
    Emit(opMovR, kRegRS, kRegS0, kTextType);
    Emit(opMovD, kRegS0, {}, kTextType);
  } else {
    Emit(opMovR, kRegR0, kRegC0, kNumberType);
    Emit(opMovD, kRegC0, NullNumberText, kNumberType);
  }
  Emit(negated ? opUnequal : opEqual, ConditionOperand(start), {}, type);
  return true;
}

// The Operand1 that names the explanation of the condition from start to
// here: its variables, "::" and its words as written. Inside a NOT the
// parts explain nothing ("#").
std::string TSemanticAnalysor::ConditionOperand(std::int32_t start) {
  if (Unexplained > 0) return "#";
  const std::int32_t end = ClauseEnd();
  const auto byPosition = [](const SNameRead& read, std::int32_t position) { return read.Position < position; };
  std::string names;
  for (auto read = std::lower_bound(NamesRead.begin(), NamesRead.end(), start, byPosition);
       read != NamesRead.end() && read->Position < end; ++read)
    AppendNameOnce(names, read->Name);
  return Machine.AddCondition(names, SentenceBetween(start, end));
}

void TSemanticAnalysor::NoteNameRead() { NamesRead.push_back({TokenStart(), Tokeniser.Word}); }

// name + "是扩展语言的关键字,不能用作变量名!"
bool TSemanticAnalysor::FailKeywordAsVariable(const std::string& word) {
  AnalyseError = word + Message(mKeywordIsNoVariableSuffix);
  return false;
}

}  // namespace rulecalc
