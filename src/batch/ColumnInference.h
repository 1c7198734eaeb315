#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "batch/Columns.h"
#include "batch/CsvReader.h"
#include "batch/RowCheck.h"
#include "batch/RowValues.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

// The decimals a picture advised for a column has at most.
constexpr std::size_t kMostDecimalsSeen = 15;

// What the values of one column showed while its type was inferred.
struct SColumnEvidence {
  std::uint64_t Numbers = 0;  // values that read as numbers
  std::uint64_t Texts = 0;    // values that do not
  std::vector<std::pair<std::uint64_t, std::string>> FirstTexts;  // row and GBK value of the first few
  std::uint64_t Identifiers = 0;  // digit strings with a leading zero, more than 15 digits or a trailing X
  std::uint64_t Measures = 0;     // numbers that are more than digits (a sign, a point, an exponent)
  std::vector<std::pair<std::uint64_t, std::string>> FirstIdentifiers;  // as FirstTexts
  std::uint64_t Pictured = 0;    // texts that are numbers with thousands separators or a currency sign
  std::string GbkCurrency;       // the first currency sign among them
  std::size_t MostDecimals = 0;  // the most decimals among them
  std::uint64_t Dates = 0;       // texts written as one of the common date formats
  std::uint32_t DateForms = 0;   // which of them, a bit per format

  // Adds what the rows of a later part showed, which come rowsBefore rows later.
  void Append(const SColumnEvidence& later, std::uint64_t rowsBefore);
};

// Settles the type of every column the header leaves open, from all of its
// values: numeric when each one is empty (or one of the null texts) or reads
// as a number, text as soon as one does not. Records that will be skipped as
// malformed do not count. Reads records until the end of the input; onRecord
// is called after each one (for progress). Returns the evidence per column.
template <typename OnRecord>
std::vector<SColumnEvidence> InferColumnTypes(TCsvReader& reader, std::vector<SColumn>& columns, TTextCodec& codec,
                                              const TNullTexts& nulls, char decimalSeparator, OnRecord onRecord);

// Folds one well-formed record's GBK values into the column types.
void ObserveRow(const std::vector<std::string>& gbkValues, std::uint64_t row, std::vector<SColumn>& columns,
                std::vector<SColumnEvidence>& evidence, const TNullTexts& nulls, char decimalSeparator);

// For every column that turned text although most of its values are
// numbers, and every numeric column some of whose values look like
// identifiers: which rows and values made it so, and how to declare it: as
// text when it holds identifiers (by their values, or by a name like ID, NO,
// PHONE, TEL or CODE over digit strings only), else as a number (in the
// output encoding, one notice of a paragraph per column). A text column
// whose texts are all numbers with thousands separators or a currency sign
// is advised a picture (AMOUNT:num(#,##0.00)), one whose texts are all
// dates the formats they are written in (D:date(yyyy-mm-dd|yyyy/m/d)).
std::vector<std::string> MixedColumnsNotices(const std::vector<SColumn>& columns,
                                             const std::vector<SColumnEvidence>& evidence, const std::string& dataPath,
                                             TTextCodec& output);


template <typename OnRecord>
std::vector<SColumnEvidence> InferColumnTypes(TCsvReader& reader, std::vector<SColumn>& columns, TTextCodec& codec,
                                              const TNullTexts& nulls, char decimalSeparator, OnRecord onRecord) {
  std::vector<SColumnEvidence> evidence(columns.size());
  SCsvRecord record;
  std::vector<std::string> gbkValues;
  std::uint64_t row = 0;
  while (reader.Next(record)) {
    ++row;
    if (RowProblem(record, columns, codec, gbkValues).empty()) {
      ObserveRow(gbkValues, row, columns, evidence, nulls, decimalSeparator);
    }
    onRecord();
  }
  return evidence;
}

}  // namespace rulecalc::batch
