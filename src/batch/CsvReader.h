#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace rulecalc::batch {

// One record of a CSV file, as written (no conversion).
struct SCsvRecord {
  std::vector<std::string> Fields;
  std::uint64_t Line = 0;  // line of the file where the record starts, from 1
  std::uint64_t Start = 0; // byte offset in the file where the record starts
  std::uint64_t End = 0;   // and after its line break (or at the end of the file)
  std::string Problem;     // why the record is malformed; empty when it is well formed
};

// The part of a file a reader reads: from Start (where the file stands when
// the reader is made, LinesBefore line breaks into the file), the records
// that start before Stop. Inside: Start lies inside a quoted field of a
// record that started earlier, whose rest is passed over.
struct SCsvWindow {
  std::uint64_t Start = 0;
  std::uint64_t Stop = UINT64_MAX;
  std::uint64_t LinesBefore = 0;
  bool Inside = false;
};

// Reads RFC 4180 CSV one record at a time: fields separated by commas,
// records by CRLF or LF, fields in double quotes may hold commas, line breaks
// and doubled quotes. A quote inside an unquoted field is an ordinary
// character. Empty lines between records are skipped. Memory stays bounded:
// a record longer than kMaxRecordBytes is read to its end but kept only as a
// malformed record.
class TCsvReader {
 public:
  static constexpr std::size_t kMaxRecordBytes = std::size_t{1} << 20;

  // Reads from file, which the caller keeps open.
  explicit TCsvReader(std::FILE* file, SCsvWindow window = {});

  // Reads the next record into record (reusing its storage). Returns false
  // at the end of the input.
  bool Next(SCsvRecord& record);

  // Bytes of the file read so far.
  std::uint64_t BytesConsumed() const { return BufferStart + Pos; }
  // Line breaks of the file read so far.
  std::uint64_t LinesRead() const { return LinesDone; }

  // Where the last record read (or the rest passed over at an inside start) ends.
  std::uint64_t RecordEnd() const { return LastRecordEnd; }

 private:
  static constexpr int kEnd = -1;

  int Peek();
  int PeekAt(std::size_t ahead);
  int Get();
  bool Ensure(std::size_t count);
  void SkipEmptyLines();
  void ReadQuotedField(std::string& field, SCsvRecord& record);
  void ReadUnquotedField(std::string& field, bool& recordEnds);
  void KeepPlainRun(std::string& field);
  void FinishQuotedField(SCsvRecord& record, bool& recordEnds);
  void SkipRestOfLine();
  void Keep(std::string& field, char c);
  bool AtLineEnd();
  void ReadFields(SCsvRecord& record, std::size_t count);
  void ContinueQuotedField(std::string& field, SCsvRecord& record);
  void PassOverRestOfRecord();

  std::FILE* File;
  std::vector<char> Buffer;
  std::size_t Pos = 0;
  std::size_t Filled = 0;
  std::uint64_t BufferStart = 0;
  std::uint64_t LinesDone = 0;
  std::size_t RecordBytes = 0;
  std::uint64_t Stop;
  bool StartsInside;
  std::uint64_t LastRecordEnd;
};

// The text in double quotes, with the quotes in it doubled.
std::string CsvQuoted(const std::string& text);

// A field as RFC 4180 writes it: quoted when it holds a comma, a quote or a
// line break.
std::string CsvField(const std::string& text);

}  // namespace rulecalc::batch
