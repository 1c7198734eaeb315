#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/Columns.h"
#include "platform/RegionalSettings.h"

namespace rulecalc::batch {

// The texts that mean an empty value (--null-values); by default only the
// empty text itself.
class TNullTexts {
 public:
  TNullTexts() = default;
  explicit TNullTexts(std::vector<std::string> gbkTexts);

  bool Means(const std::string& gbkValue) const;
  bool OnlyEmpty() const { return Texts.empty(); }

 private:
  std::vector<std::string> Texts;  // GBK, besides the empty text
};

// Turns a row's GBK values into what the calculators take: a null text
// becomes empty, a ":date" value its day number, a ":num(#,##0.00)" value
// the number it writes. A value that a declared column cannot take (not a
// number under ":num" or as its picture writes it, not a date under ":date"
// or by any of its formats)
// becomes a problem for that column: a GBK text naming column and value.
// So does a value with a NUL byte in any column, as the library's texts end
// at the first NUL and would read only part of it.
class TRowValues {
 public:
  TRowValues(const std::vector<SColumn>& columns, TNullTexts nulls, const SRegionalSettings& settings,
             int currentYear);

  // Prepares values in place; problems gets one entry per column (empty when fine).
  // fields are the values as the data file holds them, for byte positions.
  // Returns true when any column has a problem.
  bool Prepare(const std::vector<std::string>& fields, std::vector<std::string>& gbkValues,
               std::vector<std::string>& problems) const;

 private:
  bool NulProblems(const std::vector<std::string>& fields, const std::vector<std::string>& gbkValues,
                   std::vector<std::string>& problems) const;
  std::string DateProblem(std::size_t column, std::string& value) const;
  std::optional<double> DayByFormats(std::size_t column, const std::string& value) const;
  std::string NumberText(double day) const;
  std::string NumberProblem(std::size_t column, std::string& value) const;

  const std::vector<SColumn>& Columns;
  TNullTexts Nulls;
  std::vector<SRegionalSettings> DateSettings;  // per column, for ":date" columns
  SRegionalSettings YearMonthDay;               // reads what a date format found as y-m-d
  char DecimalSeparator;
  int CurrentYear;
  bool NothingToDo;
};

}  // namespace rulecalc::batch
