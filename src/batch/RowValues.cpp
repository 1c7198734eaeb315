#include "batch/RowValues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "batch/DateSettings.h"
#include "batch/calc/ValueKind.h"
#include "vm/DateBuiltins.h"

namespace rulecalc::batch {

TNullTexts::TNullTexts(std::vector<std::string> gbkTexts) : Texts(std::move(gbkTexts)) {
  Texts.erase(std::remove(Texts.begin(), Texts.end(), std::string()), Texts.end());
}

bool TNullTexts::Means(const std::string& gbkValue) const {
  return gbkValue.empty() || std::find(Texts.begin(), Texts.end(), gbkValue) != Texts.end();
}

TRowValues::TRowValues(const std::vector<SColumn>& columns, TNullTexts nulls, const SRegionalSettings& settings,
                       int currentYear)
    : Columns(columns), Nulls(std::move(nulls)), YearMonthDay(settings), DecimalSeparator(settings.DecimalSeparator),
      CurrentYear(currentYear) {
  WithDateReading(YearMonthDay, "ymd", '-');
  NothingToDo = Nulls.OnlyEmpty();
  for (const SColumn& column : columns) {
    DateSettings.push_back(settings);
    if (column.Date) WithDateReading(DateSettings.back(), column.Date->Order, column.Date->Separator);
    if (column.Declared && column.Type == vtNumber) NothingToDo = false;
  }
}

bool TRowValues::Prepare(const std::vector<std::string>& fields, std::vector<std::string>& gbkValues,
                         std::vector<std::string>& problems) const {
  problems.resize(Columns.size());
  for (std::string& problem : problems) problem.clear();
  bool any = NulProblems(fields, gbkValues, problems);
  if (NothingToDo) return any;
  for (std::size_t i = 0; i < Columns.size(); ++i) {
    if (!problems[i].empty()) continue;
    std::string& value = gbkValues[i];
    if (Nulls.Means(value)) {
      value.clear();
      continue;
    }
    if (!Columns[i].Declared || Columns[i].Type != vtNumber) continue;
    problems[i] = Columns[i].Date ? DateProblem(i, value) : NumberProblem(i, value);
    any = any || !problems[i].empty();
  }
  return any;
}

// The byte position counts in the value as the file holds it; a NUL that
// only conversion made (an encoding that writes it otherwise) counts in GBK.
bool TRowValues::NulProblems(const std::vector<std::string>& fields, const std::vector<std::string>& gbkValues,
                             std::vector<std::string>& problems) const {
  bool any = false;
  for (std::size_t i = 0; i < Columns.size(); ++i) {
    if (gbkValues[i].find('\0') == std::string::npos) continue;
    std::size_t at = fields[i].find('\0');
    if (at == std::string::npos) at = gbkValues[i].find('\0');
    problems[i] = "the value of " + Columns[i].GbkName + " has a NUL byte at byte " + std::to_string(at + 1) +
                  ", which no rule can read";
    any = true;
  }
  return any;
}

namespace {

// "yyyy-mm-dd, yyyy/m/d or yyyy年m月d日" (GBK).
std::string FormatsListed(const std::vector<SDateFormat>& formats) {
  std::string listed;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    listed += (i == 0 ? "" : i + 1 == formats.size() ? " or " : ", ") + formats[i].GbkWritten;
  }
  return listed;
}

}  // namespace

// The day number by the first format that reads the value, with the time of
// day as its fraction; the library's calendar checks the date itself.
std::optional<double> TRowValues::DayByFormats(std::size_t column, const std::string& value) const {
  for (const SDateFormat& format : Columns[column].Date->Formats) {
    const std::optional<SWrittenDate> written = ReadDateAs(value, format);
    if (!written) continue;
    const std::string ymd = written->Year + "-" + std::to_string(written->Month) + "-" + std::to_string(written->Day);
    const std::optional<double> day = ReadDateText(ymd, YearMonthDay, CurrentYear);
    if (day) return std::floor(*day) + written->DayFraction;
  }
  return std::nullopt;
}

std::string TRowValues::DateProblem(std::size_t column, std::string& value) const {
  const SColumn& c = Columns[column];
  if (!c.Date->Formats.empty()) {
    const std::optional<double> day = DayByFormats(column, value);
    if (!day) return c.GbkName + "=" + value + " is not a date as " + FormatsListed(c.Date->Formats) + " writes it";
    value = NumberText(*day);
    return {};
  }
  const double day = TextToDate(value, DateSettings[column], CurrentYear);
  if (day == 0 || !std::isfinite(day)) return c.GbkName + "=" + value + " is not a date";
  value = std::to_string(static_cast<long long>(std::floor(day)));
  return {};
}

// A whole day as digits, a time of day with the decimals the library reads.
std::string TRowValues::NumberText(double day) const {
  if (day == std::floor(day)) return std::to_string(static_cast<long long>(day));
  char text[32];
  std::snprintf(text, sizeof text, "%.10f", day);
  std::string number(text);
  std::replace(number.begin(), number.end(), '.', DecimalSeparator);
  return number;
}

std::string TRowValues::NumberProblem(std::size_t column, std::string& value) const {
  const SColumn& c = Columns[column];
  if (c.Picture) {
    std::optional<std::string> number = ReadPictured(value, *c.Picture, DecimalSeparator);
    if (!number) return c.GbkName + "=" + value + " is not a number as " + c.Picture->GbkWritten + " writes it";
    value = std::move(*number);
    return {};
  }
  if (InferValueType(value, DecimalSeparator) == vtNumber) return {};
  return c.GbkName + "=" + value + " is not a number";
}

}  // namespace rulecalc::batch
