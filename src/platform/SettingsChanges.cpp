#include "platform/SettingsChanges.h"

#include <array>
#include <string>
#include <string_view>

namespace rulecalc {

namespace {

enum EField { kDay, kMonth, kYear, kFieldCount, kNoField = kFieldCount };

EField FieldOf(char c) {
  switch (c) {
    case 'D': case 'd': return kDay;
    case 'M': case 'm': return kMonth;
    case 'E': case 'e': case 'Y': case 'y': return kYear;
    default: return kNoField;
  }
}

constexpr std::array<std::array<EField, 3>, 3> kFieldsInOrder{{
    {kMonth, kDay, kYear}, {kDay, kMonth, kYear}, {kYear, kMonth, kDay}}};

// The run of letters of each field in the picture; false unless each field
// occurs exactly once.
bool FieldRuns(std::string_view picture, std::array<std::string, kFieldCount>& runs) {
  std::array<int, kFieldCount> seen{};
  for (std::size_t i = 0; i < picture.size();) {
    const EField field = FieldOf(picture[i]);
    std::size_t end = i + 1;
    while (field != kNoField && end < picture.size() && FieldOf(picture[end]) == field) ++end;
    if (field != kNoField && ++seen[field] == 1) runs[field] = std::string(picture.substr(i, end - i));
    i = end;
  }
  return seen == std::array<int, kFieldCount>{1, 1, 1};
}

}  // namespace

bool ChangeDateOrder(SHostEnvironment& environment, EDateOrder order) {
  const auto index = static_cast<std::size_t>(order);
  if (index >= kFieldsInOrder.size()) return false;
  std::array<std::string, kFieldCount> runs;
  if (!FieldRuns(environment.Settings.ShortDateFormat, runs)) runs = {"dd", "mm", "yyyy"};
  const std::array<EField, 3>& fields = kFieldsInOrder[index];
  environment.Settings.ShortDateFormat = runs[fields[0]] + '/' + runs[fields[1]] + '/' + runs[fields[2]];
  return true;
}

bool ChangeDateSeparator(SHostEnvironment& environment, char separator) {
  const bool letterOrDigit = (separator >= '0' && separator <= '9') || (separator >= 'A' && separator <= 'Z') ||
                             (separator >= 'a' && separator <= 'z');
  if (separator <= ' ' || separator > '~' || letterOrDigit) return false;
  environment.Settings.DateSeparator = separator;
  return true;
}

bool ChangeCurrentYear(SHostEnvironment& environment, int year) {
  if (year < 0 || year > 9999) return false;
  environment.FixedCurrentYear = year;
  return true;
}

}  // namespace rulecalc
