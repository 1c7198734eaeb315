#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/Chunk.h"
#include "batch/CsvReader.h"
#include "batch/RulesFile.h"
#include "batch/calc/Evaluation.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// A column of a tests file that says what a rule should give rather than
// holding a variable: "expect:RULE" (true, false or error) or
// "explain:RULE" (a text the explanation must contain).
struct SExpectationColumn {
  std::size_t Field = 0;  // of the record as written
  std::size_t Rule = 0;
  bool Explains = false;
};

// Where the variables and the expectations of a tests file's records are.
struct STestLayout {
  std::vector<std::size_t> VariableFields;
  std::vector<SExpectationColumn> Expectations;
  std::size_t FieldCount = 0;
};

// Takes the expectation columns out of the header, leaving the variables'
// names (data reads the header, output writes messages). Throws TUsageError
// naming the column when it names no rule of rules.
STestLayout SplitTestHeader(SCsvRecord& header, const std::vector<SRule>& rules, const std::string& path,
                            TTextCodec& data, TTextCodec& output);

// Takes a record's expectation cells out of it (in layout order), leaving
// its variables. A record with another number of fields than the header
// gives no cells and is marked malformed: it is skipped.
std::vector<std::string> SplitTestRecord(SCsvRecord& record, const STestLayout& layout);

// Keeps only the rules some tests file expects something of (a tests file
// may hold the columns of those rules only), in their order, and renumbers
// the layouts' rules to match.
std::vector<SRule> TestedRules(const std::vector<SRule>& rules, std::vector<STestLayout>& layouts);

// A record of a tests file: its variables, and its expectation cells in
// layout order (none when it is malformed).
struct STestRow {
  std::size_t File = 0;
  SDataRow Row;
  std::vector<std::string> Cells;
};

// What a rule gave, as an expectation names it.
const char* VerdictName(EMOutcome outcome);

// The verdict an "expect:" cell asks for: nullopt when it is empty (not
// checked). Throws TUsageError naming where for anything but true, false or
// error (letter case and blanks around it ignored).
std::optional<std::string> ExpectedVerdict(const std::string& cell, const std::string& where);

// What a row expects of each rule: a verdict (nullopt: none) and a GBK
// text the explanation must contain (empty: none).
struct SRowExpectations {
  std::vector<std::optional<std::string>> Verdicts;
  std::vector<std::string> GbkTexts;
};

// Reads the expectation cells of a well-formed row of a file read by data;
// where names the row in messages.
SRowExpectations RowExpectations(const STestRow& row, const STestLayout& layout, std::size_t rules, TTextCodec& data,
                                 const std::string& where);

// One expectation of one row, compared; texts in the output encoding.
struct STestCase {
  std::size_t File = 0;
  std::uint64_t Row = 0;
  std::uint64_t Line = 0;
  std::string Key;
  std::string Rule;
  std::string Expected;     // "true", "false", "error"; empty when only the explanation is checked
  std::string WantedText;   // the text the explanation must contain; empty when not checked
  std::string Got;          // "true", "false", "error", "not analysed" or "skipped"
  std::string Explanation;  // the verdict's explanation, or why the row was skipped
  bool Held = false;
};

// Whether a verdict meets an expectation: the same verdict (when one is
// expected) and an explanation holding the wanted text (when one is wanted).
bool MeetsExpectation(const std::string& expected, const std::string& gbkWanted, const std::string& got,
                      const std::string& gbkExplanation);

}  // namespace rulecalc::batch
