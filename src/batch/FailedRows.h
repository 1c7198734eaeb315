#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rulecalc::batch {

// The file of the records that need attention (a false or error verdict):
// each record's bytes as the data file holds them, then the appended
// columns, in the data file's encoding, with the record's own line break.

// The names of the appended columns, as the failed-rows header ends.
std::string FailedRowsColumnNames(bool keyed);

// The bytes [start, stop) of the file open on descriptor, read without
// moving its position; throws TReadError naming path when they cannot be.
std::string BytesAt(int descriptor, std::uint64_t start, std::uint64_t stop, const std::string& path);

// The record's bytes split into its text and its line break ("\r\n", "\n");
// a record that ends the file without one takes the line break before it.
struct SRecordBytes {
  std::string Text;
  std::string LineBreak;
};
SRecordBytes RecordBytes(int descriptor, std::uint64_t start, std::uint64_t stop, const std::string& path);

// The failed-rows header: the data file's header as written, then the
// appended names.
std::string FailedRowsHeading(int descriptor, std::uint64_t headerStart, std::uint64_t headerEnd, bool keyed,
                              const std::string& path);

// One record with its appended columns: the key's field as written (when
// keyed), the failed rules and their explanations one per line (the
// record's line break between them), all in the data file's encoding.
std::string FailedRow(const SRecordBytes& record, const std::string* key, const std::vector<std::string>& rules,
                      const std::vector<std::string>& explanations);

}  // namespace rulecalc::batch
