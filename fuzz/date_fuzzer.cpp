// Date target: TODATE texts, TOCHAR formats and the date arithmetic with
// extreme values (NaN, infinities, the ends of the date range, huge counts),
// under regional settings that also come from the input. Each built-in is
// called directly and then once more through a sentence, and the results
// must stay within what the built-ins promise.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "FuzzChecks.h"
#include "boundary/RuleCalc.h"
#include "vm/DateBuiltins.h"

namespace {

using rulecalc::fuzzing::Require;

constexpr double kFirstDate = -657434.0;  // 1 January 100
constexpr double kEndOfDates = 2958466.0;  // just after 31 December 9999
constexpr double kFirstDayOfYear1 = -693593.0;  // 1 January 1
constexpr std::size_t kFormattedLimit = 256;

bool IsDate(double v) { return v >= kFirstDate && v < kEndOfDates; }

// A value from the edges, or any bit pattern at all.
double PickNumber(FuzzedDataProvider& in) {
  static const double kEdges[] = {
      std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
      std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(),
      std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
      0.0, -0.0, 0.0000001, 0.5, -0.5, -1.5, 1.0, -1.0,
      kFirstDate, std::nextafter(kFirstDate, 0.0), std::nextafter(kFirstDate, -1e9),
      kEndOfDates, std::nextafter(kEndOfDates, 0.0), kEndOfDates - 0.0000001, kEndOfDates - 0.5 / 86400000.0,
      2147483647.0, 2147483648.0, -2147483648.0, -2147483649.0, 4294967296.0,
      9.2233720368547758e18, -9.2233720368547758e18, 1e300, -1e300, 1e15, 120000.0, -120000.0,
      45351.0, 45351.587, 60.0, 61.0, 59.0, 2.0, 3652059.0, -693594.0};
  const auto pick = in.ConsumeIntegral<std::uint8_t>();
  if (pick < sizeof kEdges / sizeof kEdges[0]) return kEdges[pick];
  if (pick < 200) return in.ConsumeFloatingPointInRange<double>(-800000.0, 3100000.0);
  double raw = 0;
  const std::string bytes = in.ConsumeBytesAsString(sizeof raw);
  std::memcpy(&raw, bytes.data(), bytes.size());
  return raw;
}

rulecalc::SRegionalSettings PickSettings(FuzzedDataProvider& in) {
  rulecalc::SRegionalSettings s;
  if (in.ConsumeBool()) s.ShortDateFormat = in.ConsumeRandomLengthString(24);
  if (in.ConsumeBool()) s.LongDateFormat = in.ConsumeRandomLengthString(40);
  if (in.ConsumeBool()) s.ShortTimeFormat = in.ConsumeRandomLengthString(24);
  if (in.ConsumeBool()) s.LongTimeFormat = in.ConsumeRandomLengthString(24);
  if (in.ConsumeBool()) s.DateSeparator = in.ConsumeIntegral<char>();
  if (in.ConsumeBool()) s.TimeSeparator = in.ConsumeIntegral<char>();
  if (in.ConsumeBool()) s.TimeAMString = in.ConsumeRandomLengthString(12);
  if (in.ConsumeBool()) s.TimePMString = in.ConsumeRandomLengthString(12);
  if (in.ConsumeBool()) s.LongMonthNames[in.ConsumeIntegralInRange(0, 11)] = in.ConsumeRandomLengthString(300);
  if (in.ConsumeBool()) s.LongDayNames[in.ConsumeIntegralInRange(0, 6)] = in.ConsumeRandomLengthString(300);
  return s;
}

void CheckPart(double value, double date, double low, double high, const char* what) {
  if (!IsDate(date)) return Require(value == 0.0, what);
  Require(value >= low && value <= high && value == std::floor(value), what);
}

void CallDirectly(double date, double count, const std::string& text, const std::string& format,
                  const rulecalc::SRegionalSettings& settings, int currentYear) {
  const double parsed = rulecalc::TextToDate(text, settings, currentYear);
  // TODATE accepts years from 1, before the first valid date value.
  Require(parsed == 0.0 || (parsed >= kFirstDayOfYear1 && parsed < kEndOfDates && parsed == std::floor(parsed)),
          "TODATE gave neither 0 nor the day of a date in years 1 to 9999");

  const std::string formatted = rulecalc::FormatDate(date, format, settings);
  Require(formatted.size() <= kFormattedLimit, "TOCHAR gave more than 256 bytes");
  Require(IsDate(date) || formatted.empty(), "TOCHAR of an invalid date is not empty");
  rulecalc::FormatDate(parsed, format, settings);

  CheckPart(rulecalc::YearOfDate(date), date, 100, 9999, "YEAR out of range");
  CheckPart(rulecalc::MonthOfDate(date), date, 1, 12, "MONTH out of range");
  CheckPart(rulecalc::DayOfDate(date), date, 1, 31, "DAY out of range");
  CheckPart(rulecalc::DaysInMonthOfDate(date), date, 28, 31, "LASTDAY out of range");

  const double years = rulecalc::AddYearsToDate(date, count);
  const double months = rulecalc::AddMonthsToDate(date, count);
  const double days = rulecalc::AddDaysToDate(date, count);
  if (!IsDate(date)) Require(years == 0.0 && months == 0.0 && days == 0.0, "ADD* of an invalid date is not 0");
  // Results outside the date range must still be safe to take apart.
  for (double result : {years, months, days}) {
    rulecalc::YearOfDate(result);
    rulecalc::FormatDate(result, format, settings);
  }
}

// Writes a number so that the engine reads back the same double; values it
// cannot read (NaN, infinities) load as the null number.
std::string NumberText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void CallThroughSentence(double date, double count, const std::string& text, const std::string& format,
                         const rulecalc::SRegionalSettings& settings, int currentYear, unsigned which) {
  rulecalc::SHostEnvironment environment;
  environment.Settings = settings;
  environment.FixedCurrentYear = currentYear;
  rulecalc::TRuleCalc calc(environment);
  calc.SetVarValue("D", NumberText(date).c_str(), 0);
  calc.SetVarValue("N", NumberText(count).c_str(), 0);
  calc.SetVarValue("S", text.c_str(), 1);
  // The format of TOCHAR is a literal: a double quote would end it early.
  std::string literal = format;
  for (char& c : literal)
    if (c == '"' || c == '\0') c = '_';
  static const char* const kSentences[] = {
      "TOCHAR(D, \"%s\") = S;",
      "TOCHAR(TODATE(S), \"%s\") <> \"\" AND YEAR(TODATE(S)) > 0;",
      "TOCHAR(ADDYEARS(D, N), \"%s\") = S OR LASTDAY(ADDMONTHS(D, N)) = 28;",
      "TOCHAR(ADDDAYS(D, N), \"%s\") || S = S AND DAY(D) + MONTH(D) + YEAR(D) > N;",
      "TOCHAR(LG(D) * N, \"%s\") = \"\" AND TOCHAR(D / 0 - N, \"\") = S;",
  };
  const char* pattern = kSentences[which % (sizeof kSentences / sizeof kSentences[0])];
  std::string sentence(pattern);
  sentence.replace(sentence.find("%s"), 2, literal);
  calc.SetSentence(sentence.c_str());
  calc.Analyse();
  calc.Run();
  rulecalc::fuzzing::Held(calc.GetRuntimeError());
  rulecalc::fuzzing::Held(calc.GetAnalyseError());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const rulecalc::SRegionalSettings settings = PickSettings(in);
  const int currentYear = in.ConsumeIntegralInRange(1, 9999);
  const double date = PickNumber(in);
  const double count = PickNumber(in);
  const unsigned which = in.ConsumeIntegral<std::uint8_t>();
  const std::string text = in.ConsumeRandomLengthString(64);
  const std::string format = in.ConsumeRemainingBytesAsString();
  CallDirectly(date, count, text, format, settings, currentYear);
  CallThroughSentence(date, count, text, format, settings, currentYear, which);
  return 0;
}
