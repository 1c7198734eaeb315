#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/Columns.h"
#include "batch/Report.h"
#include "batch/RowValues.h"
#include "batch/RulesFile.h"
#include "common/Language.h"
#include "platform/HostEnvironment.h"

namespace rulecalc::batch {

// A data file of the run, as every worker sees it.
struct SPlanFile {
  std::string Path;             // as given: for diagnostics, and to open
  std::string Encoding;
  std::uint64_t DataStart = 0;  // the first byte after the header
  std::uint64_t Size = 0;
  std::uint64_t HeaderLines = 0;  // line breaks before DataStart
  bool Workbook = false;          // read as the CSV of one of its sheets
  std::string Sheet;              // that sheet (UTF-8); empty: the first
  std::uint64_t HeaderRow = 1;    // the sheet's header row
};

// What every worker shares, read only.
struct SBatchPlan {
  std::vector<SPlanFile> Files;
  std::vector<SColumn> Columns;
  std::vector<SRule> Rules;
  std::vector<bool> RuleAnalyses;                  // per rule: false when it did not analyse (it is left out)
  std::vector<std::vector<std::size_t>> RuleColumns;  // per rule: the columns its sentence names
  std::vector<std::size_t> RuleSentence;           // per rule: the first rule of the same sentence
  std::vector<std::size_t> RuleCodeSize;           // per rule: the records of its code, as the check found
  SHostEnvironment Environment;                    // every calculator's settings
  ELanguage Language = ELanguage::Classic;         // the language every calculator reads
  TNullTexts Nulls;
  std::optional<std::size_t> KeyColumn;
  SReportLayout Layout;
  bool ReportHeld = false;       // report verdicts that are true too
  bool FreshCalculators = false; // a cleared calculator and a new analysis per row and rule
  bool FailedRows = false;       // each result carries its failed rows (see FailedRows.h)
};

}  // namespace rulecalc::batch
