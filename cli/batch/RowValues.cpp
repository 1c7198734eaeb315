#include "batch/RowValues.h"

#include <algorithm>
#include <cmath>

#include "batch/DateSettings.h"
#include "calc/ValueKind.h"
#include "vm/DateBuiltins.h"

namespace rulecalc::cli {

TNullTexts::TNullTexts(std::vector<std::string> gbkTexts) : Texts(std::move(gbkTexts)) {
  Texts.erase(std::remove(Texts.begin(), Texts.end(), std::string()), Texts.end());
}

bool TNullTexts::Means(const std::string& gbkValue) const {
  return gbkValue.empty() || std::find(Texts.begin(), Texts.end(), gbkValue) != Texts.end();
}

TRowValues::TRowValues(const std::vector<SColumn>& columns, TNullTexts nulls, const SRegionalSettings& settings,
                       int currentYear)
    : Columns(columns), Nulls(std::move(nulls)), DecimalSeparator(settings.DecimalSeparator),
      CurrentYear(currentYear) {
  NothingToDo = Nulls.OnlyEmpty();
  for (const SColumn& column : columns) {
    DateSettings.push_back(settings);
    if (column.Date) WithDateReading(DateSettings.back(), column.Date->Order, column.Date->Separator);
    if (column.Declared && column.Type == vtNumber) NothingToDo = false;
  }
}

bool TRowValues::Prepare(std::vector<std::string>& gbkValues, std::vector<std::string>& problems) const {
  problems.resize(Columns.size());
  for (std::string& problem : problems) problem.clear();
  if (NothingToDo) return false;
  bool any = false;
  for (std::size_t i = 0; i < Columns.size(); ++i) {
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

std::string TRowValues::DateProblem(std::size_t column, std::string& value) const {
  const double day = TextToDate(value, DateSettings[column], CurrentYear);
  if (day == 0 || !std::isfinite(day)) return Columns[column].GbkName + "=" + value + " is not a date";
  value = std::to_string(static_cast<long long>(std::floor(day)));
  return {};
}

std::string TRowValues::NumberProblem(std::size_t column, const std::string& value) const {
  if (InferValueType(value, DecimalSeparator) == vtNumber) return {};
  return Columns[column].GbkName + "=" + value + " is not a number";
}

}  // namespace rulecalc::cli
