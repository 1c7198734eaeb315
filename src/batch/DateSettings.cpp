#include "batch/DateSettings.h"

namespace rulecalc::batch {

namespace {

// A short date format (TOCHAR's language, '/' standing for the separator) for an order.
std::string ShortDateFormatFor(const std::string& order) {
  if (order == "ymd") return "yyyy/mm/dd";
  if (order == "dmy") return "dd/mm/yyyy";
  return "mm/dd/yyyy";
}

}  // namespace

void WithDateReading(SRegionalSettings& settings, const std::string& order, char separator) {
  if (!order.empty()) settings.ShortDateFormat = ShortDateFormatFor(order);
  if (separator != 0) settings.DateSeparator = separator;
}

SHostEnvironment BatchEnvironment(const std::string& order, char separator) {
  SHostEnvironment environment = ReadHostEnvironment();
  WithDateReading(environment.Settings, order, separator);
  return environment;
}

}  // namespace rulecalc::batch
