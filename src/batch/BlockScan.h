#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchPlan.h"
#include "batch/ByteStrings.h"
#include "batch/ColumnInference.h"

namespace rulecalc::batch {

struct SFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TOwnedFile = std::unique_ptr<std::FILE, SFileCloser>;

// What a block holds under one assumption about its start.
struct SReading {
  std::uint64_t Rows = 0;
  bool EndsInside = false;                 // the next block starts inside a quoted field
  std::vector<SColumnEvidence> Evidence;   // per column; only the columns left to infer gather any
};

// A block read under both assumptions: [0] it starts at a record, [1] inside a quoted field.
struct SBlockScan {
  std::size_t File = 0;
  std::uint64_t Start = 0;     // the first line start at or after the start asked for
  std::uint64_t Stop = 0;      // the same for the stop
  std::uint64_t Newlines = 0;  // line breaks in [Start, Stop)
  std::array<SReading, 2> Readings;
};

// Opens the plan's file number file for reading (a fresh position each time).
using TOpenFile = TOwnedFile (*)(const SBatchPlan& plan, std::size_t file, const void* context);

// Reads the block of plan's file that starts at the first line start at or
// after start (exactly at the file's data start for the first block) and
// owns the records starting before the first line start at or after stop.
SBlockScan ScanBlock(const SBatchPlan& plan, std::size_t file, std::uint64_t start, std::uint64_t stop,
                     TOpenFile open, const void* context);

void WriteScan(TByteWriter& out, const SBlockScan& scan);
// Reads a scan for plan (its file and columns), refusing what does not fit.
SBlockScan ReadScan(TByteReader& in, const SBatchPlan& plan);

// Goes to offset in file; throws TReadError naming path when it cannot.
void SeekOrFail(std::FILE* file, std::uint64_t offset, const std::string& path);

}  // namespace rulecalc::batch
