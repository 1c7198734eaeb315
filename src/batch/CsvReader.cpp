#include "batch/CsvReader.h"

#include <array>
#include <cstring>

namespace rulecalc::batch {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

// The bytes that end a run of plain field bytes: comma, line feed, carriage return.
constexpr std::array<bool, 256> kRunEnds = [] {
  std::array<bool, 256> ends{};
  ends[','] = ends['\n'] = ends['\r'] = true;
  return ends;
}();

}  // namespace

TCsvReader::TCsvReader(std::FILE* file, SCsvWindow window)
    : File(file),
      Buffer(kBufferSize),
      BufferStart(window.Start),
      LinesDone(window.LinesBefore),
      Stop(window.Stop),
      StartsInside(window.Inside),
      LastRecordEnd(window.Start) {}

// Makes at least count unread bytes available unless the file ends first.
bool TCsvReader::Ensure(std::size_t count) {
  if (Filled - Pos >= count) return true;
  std::memmove(Buffer.data(), Buffer.data() + Pos, Filled - Pos);
  BufferStart += Pos;
  Filled -= Pos;
  Pos = 0;
  while (Filled < count) {
    const std::size_t read = std::fread(Buffer.data() + Filled, 1, Buffer.size() - Filled, File);
    if (read == 0) return false;
    Filled += read;
  }
  return true;
}

int TCsvReader::PeekAt(std::size_t ahead) {
  if (!Ensure(ahead + 1)) return kEnd;
  return static_cast<unsigned char>(Buffer[Pos + ahead]);
}

int TCsvReader::Peek() {
  if (Pos < Filled) return static_cast<unsigned char>(Buffer[Pos]);
  return PeekAt(0);
}

int TCsvReader::Get() {
  const int c = Peek();
  if (c == kEnd) return kEnd;
  ++Pos;
  if (c == '\n') ++LinesDone;
  return c;
}

// Consumes a line break (LF or CRLF) when one comes next.
// A lone CR is data.
bool TCsvReader::AtLineEnd() {
  const int c = Peek();
  if (c == '\n') {
    Get();
    return true;
  }
  if (c != '\r' || PeekAt(1) != '\n') return false;
  Get();
  Get();
  return true;
}

void TCsvReader::SkipEmptyLines() {
  while (AtLineEnd()) {
  }
}

void TCsvReader::SkipRestOfLine() {
  for (int c = Get(); c != kEnd && c != '\n'; c = Get()) {
  }
}

void TCsvReader::Keep(std::string& field, char c) {
  if (++RecordBytes <= kMaxRecordBytes) field += c;
}

// Takes the bytes up to the next comma or line-break byte that are already
// in the buffer in one step; Keep's limit applies to them as to single bytes.
void TCsvReader::KeepPlainRun(std::string& field) {
  const char* start = Buffer.data() + Pos;
  const char* end = Buffer.data() + Filled;
  const char* stop = start;
  while (stop != end && !kRunEnds[static_cast<unsigned char>(*stop)]) ++stop;
  const auto length = static_cast<std::size_t>(stop - start);
  const std::size_t room = RecordBytes < kMaxRecordBytes ? kMaxRecordBytes - RecordBytes : 0;
  field.append(start, length < room ? length : room);
  RecordBytes += length;
  Pos += length;
}

void TCsvReader::ReadUnquotedField(std::string& field, bool& recordEnds) {
  while (true) {
    KeepPlainRun(field);
    if (AtLineEnd() || Peek() == kEnd) {
      recordEnds = true;
      return;
    }
    const int c = Get();
    if (c == ',') return;
    Keep(field, static_cast<char>(c));
  }
}

void TCsvReader::ReadQuotedField(std::string& field, SCsvRecord& record) {
  Get();  // the opening quote
  ContinueQuotedField(field, record);
}

void TCsvReader::ContinueQuotedField(std::string& field, SCsvRecord& record) {
  while (true) {
    const int c = Get();
    if (c == kEnd) {
      record.Problem = "a quoted field is not closed before the end of the file";
      return;
    }
    if (c == '"') {
      if (Peek() != '"') return;
      Get();
    }
    Keep(field, static_cast<char>(c));
  }
}

// After a closing quote only a comma, a line break or the end may follow.
void TCsvReader::FinishQuotedField(SCsvRecord& record, bool& recordEnds) {
  if (!record.Problem.empty() || AtLineEnd() || Peek() == kEnd) {
    recordEnds = true;
    return;
  }
  if (Get() == ',') return;
  record.Problem = "text follows the closing quote of a field";
  SkipRestOfLine();
  recordEnds = true;
}

// Reads fields from the count-th one on to the end of the record.
void TCsvReader::ReadFields(SCsvRecord& record, std::size_t count) {
  for (bool recordEnds = false; !recordEnds; ++count) {
    if (count == record.Fields.size()) record.Fields.emplace_back();
    std::string& field = record.Fields[count];
    field.clear();
    if (Peek() == '"') {
      ReadQuotedField(field, record);
      FinishQuotedField(record, recordEnds);
    } else {
      ReadUnquotedField(field, recordEnds);
    }
  }
  record.Fields.resize(count);
}

// The rest of a record whose quoted field the window starts in: read as the
// record would be, and dropped.
void TCsvReader::PassOverRestOfRecord() {
  SCsvRecord rest;
  rest.Fields.resize(1);
  RecordBytes = 0;
  ContinueQuotedField(rest.Fields[0], rest);
  bool recordEnds = false;
  FinishQuotedField(rest, recordEnds);
  if (!recordEnds) ReadFields(rest, 1);
  LastRecordEnd = BytesConsumed();
}

bool TCsvReader::Next(SCsvRecord& record) {
  if (StartsInside) {
    StartsInside = false;
    PassOverRestOfRecord();
  }
  SkipEmptyLines();
  if (Peek() == kEnd || BytesConsumed() >= Stop) return false;
  record.Line = LinesDone + 1;
  record.Start = BytesConsumed();
  record.Problem.clear();
  RecordBytes = 0;
  ReadFields(record, 0);
  LastRecordEnd = BytesConsumed();
  record.End = LastRecordEnd;
  if (record.Problem.empty() && RecordBytes > kMaxRecordBytes) {
    record.Problem = "the record is longer than " + std::to_string(kMaxRecordBytes) + " bytes";
  }
  return true;
}

std::string CsvQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  return CsvQuoted(text);
}

}  // namespace rulecalc::batch
