#pragma once

#include "platform/HostEnvironment.h"
#include "platform/RegionalSettings.h"

namespace rulecalc::testing {

// Dates read and written year-month-day with "-", as under a locale whose
// date format is "%Y-%m-%d".
inline SRegionalSettings YearMonthDaySettings() {
  SRegionalSettings settings;
  settings.ShortDateFormat = "yyyy/mm/dd";
  settings.LongDateFormat = "ddd d mmm yyyy";
  settings.DateSeparator = '-';
  return settings;
}

// Dates read and written month-day-year with "/", as under the "C" locale.
inline SRegionalSettings MonthDayYearSettings() { return SRegionalSettings{}; }

// Day-month-year with ".".
inline SRegionalSettings DayMonthYearSettings() {
  SRegionalSettings settings;
  settings.ShortDateFormat = "dd/mm/yyyy";
  settings.DateSeparator = '.';
  return settings;
}

// An environment with these settings and 2026 as the current year.
inline SHostEnvironment EnvironmentWith(const SRegionalSettings& settings) {
  SHostEnvironment environment;
  environment.Settings = settings;
  environment.FixedCurrentYear = 2026;
  return environment;
}

}  // namespace rulecalc::testing
