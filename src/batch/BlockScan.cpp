#include "batch/BlockScan.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "batch/CsvReader.h"
#include "batch/Failures.h"
#include "batch/RowCheck.h"
#include "batch/text/TextCodec.h"

namespace rulecalc::batch {

namespace {

constexpr std::size_t kPiece = 1 << 16;

// The first offset at or after hint that follows a line break (or the end).
std::uint64_t LineStartFrom(std::FILE* file, std::uint64_t hint, std::uint64_t size, const std::string& path) {
  if (hint == 0) return 0;
  if (hint >= size) return size;
  std::uint64_t position = hint - 1;
  SeekOrFail(file, position, path);
  char piece[kPiece];
  while (position < size) {
    const std::size_t read = std::fread(piece, 1, sizeof piece, file);
    if (read == 0) break;
    const void* newline = std::memchr(piece, '\n', read);
    if (newline) return position + static_cast<std::uint64_t>(static_cast<const char*>(newline) - piece) + 1;
    position += read;
  }
  return size;
}

std::uint64_t NewlinesBetween(std::FILE* file, std::uint64_t start, std::uint64_t stop, const std::string& path) {
  SeekOrFail(file, start, path);
  std::uint64_t count = 0;
  char piece[kPiece];
  for (std::uint64_t left = stop - start; left > 0;) {
    const std::size_t read = std::fread(piece, 1, static_cast<std::size_t>(std::min<std::uint64_t>(left, kPiece)), file);
    if (read == 0) break;
    count += static_cast<std::uint64_t>(std::count(piece, piece + read, '\n'));
    left -= read;
  }
  return count;
}

// Counts a reading's records and what the values of the columns left to infer are.
class TObserver {
 public:
  TObserver(const SBatchPlan& plan, TTextCodec& codec) : Plan(plan), Codec(codec), Columns(plan.Columns) {
    Reading.Evidence.resize(Columns.size());
    Infers = !AllDeclared(Columns);
  }

  void Add(const SCsvRecord& record) {
    ++Reading.Rows;
    if (!Infers || !RowProblem(record, Columns, Codec, GbkValues).empty()) return;
    ObserveRow(GbkValues, Reading.Rows, Columns, Reading.Evidence, Plan.Nulls,
               Plan.Environment.Settings.DecimalSeparator);
  }

  SReading Reading;

 private:
  const SBatchPlan& Plan;
  TTextCodec& Codec;
  std::vector<SColumn> Columns;
  std::vector<std::string> GbkValues;
  bool Infers;
};

// first's rows, then later's.
SReading Joined(const SReading& first, const SReading& later) {
  SReading joined = first;
  for (std::size_t i = 0; i < joined.Evidence.size(); ++i) joined.Evidence[i].Append(later.Evidence[i], first.Rows);
  joined.Rows += later.Rows;
  joined.EndsInside = later.EndsInside;
  return joined;
}

void ReadToEnd(TCsvReader& reader, SCsvRecord& head, bool more, TObserver& observer) {
  for (; more; more = reader.Next(head)) observer.Add(head);
}

// Both readings, advanced record by record (the one behind first) until
// they meet at a record start they share; from there they are one reading.
std::array<SReading, 2> TwoReadings(std::FILE* atRecord, std::FILE* inside, const SBlockScan& scan,
                                    const SBatchPlan& plan, TTextCodec& codec) {
  TCsvReader readers[2] = {TCsvReader(atRecord, SCsvWindow{scan.Start, scan.Stop, 0, false}),
                           TCsvReader(inside, SCsvWindow{scan.Start, scan.Stop, 0, true})};
  TObserver observers[2] = {TObserver(plan, codec), TObserver(plan, codec)};
  SCsvRecord heads[2];
  bool more[2] = {readers[0].Next(heads[0]), readers[1].Next(heads[1])};
  while (more[0] && more[1] && heads[0].Start != heads[1].Start) {
    const int behind = heads[0].Start < heads[1].Start ? 0 : 1;
    observers[behind].Add(heads[behind]);
    more[behind] = readers[behind].Next(heads[behind]);
  }
  if (!more[0] || !more[1]) {
    for (int k = 0; k < 2; ++k) {
      ReadToEnd(readers[k], heads[k], more[k], observers[k]);
      observers[k].Reading.EndsInside = readers[k].RecordEnd() > scan.Stop;
    }
    return {observers[0].Reading, observers[1].Reading};
  }
  TObserver shared(plan, codec);
  ReadToEnd(readers[0], heads[0], true, shared);
  shared.Reading.EndsInside = readers[0].RecordEnd() > scan.Stop;
  return {Joined(observers[0].Reading, shared.Reading), Joined(observers[1].Reading, shared.Reading)};
}

SReading OneReading(std::FILE* file, const SBlockScan& scan, const SBatchPlan& plan, TTextCodec& codec) {
  TCsvReader reader(file, SCsvWindow{scan.Start, scan.Stop, 0, false});
  TObserver observer(plan, codec);
  SCsvRecord head;
  ReadToEnd(reader, head, reader.Next(head), observer);
  observer.Reading.EndsInside = reader.RecordEnd() > scan.Stop;
  return observer.Reading;
}

void WriteEvidence(TByteWriter& out, const SColumnEvidence& evidence) {
  out.U64(evidence.Numbers);
  out.U64(evidence.Texts);
  out.U64(evidence.Identifiers);
  out.U64(evidence.Measures);
  out.U64(evidence.Pictured);
  out.Text(evidence.GbkCurrency);
  out.U64(evidence.MostDecimals);
  out.U64(evidence.Dates);
  out.U64(evidence.DateForms);
  for (const auto* examples : {&evidence.FirstTexts, &evidence.FirstIdentifiers}) {
    out.U64(examples->size());
    for (const auto& [row, value] : *examples) {
      out.U64(row);
      out.Text(value);
    }
  }
}

SColumnEvidence ReadEvidence(TByteReader& in, std::uint64_t rows) {
  SColumnEvidence evidence;
  evidence.Numbers = in.U64();
  evidence.Texts = in.U64();
  evidence.Identifiers = in.U64();
  evidence.Measures = in.U64();
  evidence.Pictured = in.U64();
  evidence.GbkCurrency = in.Text();
  const std::uint64_t decimals = in.U64();
  evidence.Dates = in.U64();
  const std::uint64_t forms = in.U64();
  if (evidence.Numbers > rows || evidence.Texts > rows - evidence.Numbers || evidence.Identifiers > rows ||
      evidence.Measures > evidence.Numbers || evidence.Pictured > evidence.Texts || evidence.Dates > evidence.Texts ||
      decimals > kMostDecimalsSeen || forms > UINT32_MAX) {
    throw TForeignBytes("a scan that does not add up");
  }
  evidence.MostDecimals = static_cast<std::size_t>(decimals);
  evidence.DateForms = static_cast<std::uint32_t>(forms);
  for (auto* examples : {&evidence.FirstTexts, &evidence.FirstIdentifiers}) {
    const std::size_t count = in.Count(16);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t row = in.U64();
      examples->emplace_back(row, in.Text());
    }
  }
  return evidence;
}

}  // namespace

void SeekOrFail(std::FILE* file, std::uint64_t offset, const std::string& path) {
  if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) throw TReadError("cannot read the data file '" + path + "'");
}

// A block past the start of a workbook's sheet, which is read in one block:
// it holds nothing.
SBlockScan EmptyWorkbookScan(const SBatchPlan& plan, std::size_t file) {
  SBlockScan scan;
  scan.File = file;
  scan.Start = scan.Stop = plan.Files[file].Size;
  for (SReading& reading : scan.Readings) reading.Evidence.resize(plan.Columns.size());
  return scan;
}

SBlockScan ScanBlock(const SBatchPlan& plan, std::size_t file, std::uint64_t start, std::uint64_t stop,
                     TOpenFile open, const void* context) {
  const SPlanFile& data = plan.Files[file];
  if (data.Workbook) {
    if (start > data.DataStart) return EmptyWorkbookScan(plan, file);
    stop = data.Size;
  }
  TOwnedFile first = open(plan, file, context);
  SBlockScan scan;
  scan.File = file;
  const bool exact = start <= data.DataStart;
  scan.Start = exact ? data.DataStart : LineStartFrom(first.get(), start, data.Size, data.Path);
  scan.Stop = std::max(scan.Start, LineStartFrom(first.get(), std::max(stop, scan.Start), data.Size, data.Path));
  scan.Newlines = NewlinesBetween(first.get(), scan.Start, scan.Stop, data.Path);
  TTextCodec codec(data.Encoding);
  SeekOrFail(first.get(), scan.Start, data.Path);
  if (exact) {
    scan.Readings[0] = scan.Readings[1] = OneReading(first.get(), scan, plan, codec);
    return scan;
  }
  TOwnedFile second = open(plan, file, context);
  SeekOrFail(second.get(), scan.Start, data.Path);
  scan.Readings = TwoReadings(first.get(), second.get(), scan, plan, codec);
  return scan;
}

void WriteScan(TByteWriter& out, const SBlockScan& scan) {
  out.U64(scan.File);
  out.U64(scan.Start);
  out.U64(scan.Stop);
  out.U64(scan.Newlines);
  for (const SReading& reading : scan.Readings) {
    out.U64(reading.Rows);
    out.Flag(reading.EndsInside);
    for (const SColumnEvidence& evidence : reading.Evidence) WriteEvidence(out, evidence);
  }
}

SBlockScan ReadScan(TByteReader& in, const SBatchPlan& plan) {
  SBlockScan scan;
  scan.File = in.Index(plan.Files.size());
  scan.Start = in.U64();
  scan.Stop = in.U64();
  scan.Newlines = in.U64();
  const SPlanFile& file = plan.Files[scan.File];
  if (scan.Start < file.DataStart || scan.Stop < scan.Start || scan.Stop > file.Size ||
      scan.Newlines > scan.Stop - scan.Start) {
    throw TForeignBytes("a scan that does not fit its file");
  }
  for (SReading& reading : scan.Readings) {
    reading.Rows = in.U64();
    reading.EndsInside = in.Flag();
    for (std::size_t i = 0; i < plan.Columns.size(); ++i) reading.Evidence.push_back(ReadEvidence(in, reading.Rows));
  }
  in.End();
  return scan;
}

}  // namespace rulecalc::batch
