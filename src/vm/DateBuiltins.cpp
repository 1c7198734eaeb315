#include "vm/DateBuiltins.h"

// Placeholder until the calendar lands: every date function yields its fallback.
namespace rulecalc {

double TextToDate(std::string_view, const SRegionalSettings&, int) { return 0; }
std::string FormatDate(double, std::string_view, const SRegionalSettings&) { return {}; }
double AddYearsToDate(double, double) { return 0; }
double AddMonthsToDate(double, double) { return 0; }
double AddDaysToDate(double, double) { return 0; }
double YearOfDate(double) { return 0; }
double MonthOfDate(double) { return 0; }
double DayOfDate(double) { return 0; }
double DaysInMonthOfDate(double) { return 0; }

}  // namespace rulecalc
