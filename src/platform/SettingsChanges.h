#pragma once

#include "platform/HostEnvironment.h"

namespace rulecalc {

// The order of day, month and year in dates that TODATE reads and that the
// short date picture writes.
enum class EDateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// Each change returns false and leaves the environment as it was when the
// value is not valid.

// Rewrites the short date picture in the given order, keeping the width of
// each field; a picture without exactly one day, month and year field
// becomes "mm/dd/yyyy", "dd/mm/yyyy" or "yyyy/mm/dd".
bool ChangeDateOrder(SHostEnvironment& environment, EDateOrder order);

// Any printable ASCII character other than letters, digits and space.
bool ChangeDateSeparator(SHostEnvironment& environment, char separator);

// 1 to 9999; 0 goes back to the host clock.
bool ChangeCurrentYear(SHostEnvironment& environment, int year);

}  // namespace rulecalc
