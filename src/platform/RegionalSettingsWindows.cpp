#include "platform/RegionalSettings.h"

namespace rulecalc {

// Filled in from GetLocaleInfoA; until then the defaults of the record.
SRegionalSettings ReadHostRegionalSettings() { return SRegionalSettings{}; }

}  // namespace rulecalc
