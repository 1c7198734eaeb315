#pragma once

#include <string>
#include <vector>

#include "boundary/Listings.h"
#include "boundary/RowTexts.h"
#include "boundary/RuleCalc.h"

namespace rulecalc {

// What a rulecalc_handle is: one calculator and the answers the handle
// functions keep for the host.
struct Handle {
  Handle() = default;
  // A rule of a set: it reads the set's variables and takes its settings.
  Handle(SHostEnvironment environment, TVarTable& sharedVariables) : Calc(std::move(environment), sharedVariables) {}

  TRuleCalc Calc;
  std::string Listing;                     // the last listing returned
  std::vector<SListingItem> ListingItems;  // and where its items are
  bool ListingRanShort = false;            // a listing since the last clear found no memory
  SSentenceSpan AnalysisStop;              // where the last analysis stopped
  TRowTexts RowTexts;                      // the texts of the last table of rows
  // Owned by a rule set: rulecalc_close and rulecalc_clear leave it alone
  // (the set closes it, and its variables are the set's).
  bool InRuleSet = false;
  bool RuleCompiled = false;  // in a set: whether the rule's analysis compiled it
};

}  // namespace rulecalc
