#pragma once

#include <optional>
#include <string>
#include <vector>

#include "batch/CsvReader.h"
#include "batch/WrittenValues.h"
#include "batch/calc/Variable.h"
#include "common/Language.h"
#include "batch/text/TextCodec.h"


namespace rulecalc::batch {

// How a ":date" column reads its values: the order of year, month and day
// and their separator; empty order for the run's own date settings.
// Formats, when given, are tried in order; Order and Separator are the first one's.
struct SDateReading {
  std::string Order;  // "ymd", "mdy" or "dmy"; empty: the run's
  char Separator = 0; // 0: the run's
  std::string GbkWritten;            // "yyyy-mm-dd|yyyy/m/d", empty for the run's reading
  std::vector<SDateFormat> Formats;  // empty: the run's reading
};

// One column of the data file: a variable of every rule. The rules know it
// by its variable name, which is the data's name for it unless the header
// ("理赔金额=CLAIM_AMOUNT") or a rules file's @column line gives another.
struct SColumn {
  std::string Name;                     // the variable: in the output encoding, without the type suffix, control characters as \xNN
  std::string GbkName;                  // the same, for the library
  std::string DataName;                 // the column as the header names it, in the output encoding
  std::string GbkDataName;              // the same in GBK
  std::optional<EMValueType> Declared;  // from ":num", ":text" or ":date"
  std::optional<SDateReading> Date;     // from ":date" or ":date(yyyy-mm-dd|yyyy/m/d)": read as a day number
  std::optional<SNumberPicture> Picture;  // from ":num(#,##0.00)": numbers as the picture writes them
  EMValueType Type = vtNumber;          // declared, or inferred from the values
  std::string Unusable;                 // why no rule can name it; empty when it is a usable name
};

// The columns named by the header record (a UTF-8 byte-order mark before the
// first name is ignored). data converts the header to GBK, output converts
// names back for messages. Throws TUsageError naming path, line and column
// for a malformed header, an empty or repeated name (names are compared with
// ASCII letters folded, as the library compares them), a bad type suffix, a
// variable name after '=' that no rule could name, or a name GBK cannot hold
// (TConversionError).
std::vector<SColumn> ColumnsOfHeader(const SCsvRecord& header, const std::string& path, TTextCodec& data,
                                     TTextCodec& output);

// A column's variable name with its type suffix ("AMOUNT:num(#,##0.00)",
// "D:date(yyyy-mm-dd|yyyy/m/d)"), as a header cell or an @column line
// writes it; codec converts it to GBK. Throws TUsageError for a bad suffix.
SColumn TypedColumnOf(std::string_view written, TTextCodec& codec);

// A rules file's "@column DATA VARIABLE[:type]": the rules name the column
// DATA by VARIABLE, and read its values as the type says.
struct SColumnMapping {
  std::string Where;             // "rules.txt:3: ", for messages
  std::string GbkDataName;       // the column as the data names it
  std::string GbkVariable;       // the name the rules use
  std::optional<SColumn> Typing; // the declared type, when the line gives one
};

// Gives the mapped columns their variable names and declared types. Throws
// TUsageError, naming the @column line, for a column the header lacks, one
// the header maps to another name already or declares a type for already, and naming both columns when a variable name is
// another column's name.
void MapColumns(std::vector<SColumn>& columns, const std::vector<SColumnMapping>& mappings, TTextCodec& output);

// Marks the columns whose names are keywords of language (the header was read
// with the classic language's words) as no rule can name them.
void MarkNamesOfOtherLanguage(std::vector<SColumn>& columns, ELanguage language);

// True when every column's type is declared, so nothing is left to infer.
bool AllDeclared(const std::vector<SColumn>& columns);

// The index of the column named name, by its variable or its data name
// (ASCII letter case ignored); throws
// TUsageError naming the columns when there is none.
std::size_t ColumnNamed(const std::vector<SColumn>& columns, const std::string& gbkName, const std::string& shown);

// Names folded as the library compares them (ASCII letters in upper case).
std::string FoldedName(const std::string& name);

}  // namespace rulecalc::batch
