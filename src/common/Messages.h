#pragma once

#include <cstddef>

namespace rulecalc {

// Every fixed text the library hands to a host. The texts are GBK bytes; the
// table in Messages.cpp shows each one's Chinese reading beside it.
enum EMMessage {
  mIfMissingCondition,
  mStatementMissingSemicolon,
  mIfMissingThenKeyword,
  mIfMissingThenClause,
  mIfMissingSemicolon,
  mIfMissingElseKeyword,
  mIfMissingElseClause,
  mExpressionSyntaxError,
  mLogicalOperatorExpected,
  mComparisonOperatorExpected,
  mComparisonMissingRightSide,
  mConcatNeedsTextVariable,
  mOperandSyntaxError,
  mMissingRightBracket,
  mUnassignedVariablePrefix,
  mUnassignedVariableSuffix,
  mNestingTooDeep,
  mTodateMissingLeftBracket,
  mTodateMissingArgument,
  mTodateArgumentNotText,
  mTodateMissingRightBracket,
  mTocharMissingLeftBracket,
  mTocharMissingArgument,
  mTocharFirstNotDate,
  mTocharIncomplete,
  mTocharSecondNotText,
  mTocharMissingRightBracket,
  mAddyearsMissingLeftBracket,
  mAddyearsMissingArgument,
  mAddyearsFirstNotDate,
  mAddyearsIncomplete,
  mAddyearsSecondNotNumber,
  mAddyearsMissingRightBracket,
  mAddmonthsMissingLeftBracket,
  mAddmonthsMissingArgument,
  mAddmonthsFirstNotDate,
  mAddmonthsIncomplete,
  mAddmonthsSecondNotNumber,
  mAddmonthsMissingRightBracket,
  mAdddaysMissingLeftBracket,
  mAdddaysMissingArgument,
  mAdddaysFirstNotDate,
  mAdddaysIncomplete,
  mAdddaysSecondNotNumber,
  mAdddaysMissingRightBracket,
  mYearMissingLeftBracket,
  mYearMissingArgument,
  mYearArgumentNotDate,
  mYearMissingRightBracket,
  mMonthMissingLeftBracket,
  mMonthMissingArgument,
  mMonthArgumentNotDate,
  mMonthMissingRightBracket,
  mDayMissingLeftBracket,
  mDayMissingArgument,
  mDayArgumentNotDate,
  mDayMissingRightBracket,
  mLastdayMissingLeftBracket,
  mLastdayMissingArgument,
  mLastdayArgumentNotDate,
  mLastdayMissingRightBracket,
  mLengthMissingLeftBracket,
  mLengthMissingArgument,
  mLengthArgumentNotText,
  mLengthMissingRightBracket,
  mSubstrMissingLeftBracket,
  mSubstrMissingArgument,
  mSubstrFirstNotText,
  mSubstrIncomplete,
  mSubstrMissingRightBracket,
  mFindstrMissingLeftBracket,
  mFindstrMissingArgument,
  mFindstrFirstNotText,
  mFindstrIncomplete,
  mFindstrSecondNotText,
  mFindstrMissingRightBracket,
  mLgMissingLeftBracket,
  mLgMissingArgument,
  mLgArgumentNotNumber,
  mLgMissingRightBracket,
  mNvlMissingLeftBracket,
  mNvlMissingArgument,
  mNvlIncomplete,
  mNvlSecondNotNumber,
  mNvlSecondNotText,
  mNvlMissingRightBracket,
  mFloatStackOverflow,
  mStringStackOverflow,
  mNoInitialValuePrefix,
  mNoInitialValueSuffix,
  mBranchHolds,
  mBranchFails,
  mWarnTextComparedWithNumber,
  mWarnArithmeticOnText,
  mWarnConcatOnNumber,
  mWarnTextsOrderedByBytes,
  mWarnTypeCodeSuffix,
  mInterrupted,
  mWarnAndOrLeftToRight,
  kMessageCount
};

struct SFixedText {
  const char* Gbk;       // the bytes the library uses
  const char* Readable;  // the same text in UTF-8, for people and tests
};

// The GBK bytes of a message.
const char* Message(EMMessage id);

// The whole table, in EMMessage order.
const SFixedText* MessageTable();

}  // namespace rulecalc
