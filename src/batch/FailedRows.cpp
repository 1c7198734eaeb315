#include "batch/FailedRows.h"

#include "batch/CsvReader.h"
#include "batch/Failures.h"
#include "batch/SystemFiles.h"

namespace rulecalc::batch {

namespace {

// "\r\n" or "\n" when text ends with one, else "".
std::string LineBreakEnding(const std::string& text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) return "\r\n";
  if (!text.empty() && text.back() == '\n') return "\n";
  return "";
}

std::string Joined(const std::vector<std::string>& lines, const std::string& lineBreak) {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) joined += (i == 0 ? "" : lineBreak) + lines[i];
  return joined;
}

}  // namespace

std::string FailedRowsColumnNames(bool keyed) {
  return std::string(keyed ? "failed_key," : "") + "failed_rules,failed_explanations";
}

std::string BytesAt(int descriptor, std::uint64_t start, std::uint64_t stop, const std::string& path) {
  std::string bytes(static_cast<std::size_t>(stop > start ? stop - start : 0), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const long long read = ReadAt(descriptor, &bytes[done], bytes.size() - done, start + done);
    if (read <= 0) throw TReadError("cannot read the data file '" + path + "' again for its failed rows");
    done += static_cast<std::size_t>(read);
  }
  return bytes;
}

SRecordBytes RecordBytes(int descriptor, std::uint64_t start, std::uint64_t stop, const std::string& path) {
  SRecordBytes record{BytesAt(descriptor, start, stop, path), ""};
  record.LineBreak = LineBreakEnding(record.Text);
  record.Text.resize(record.Text.size() - record.LineBreak.size());
  if (record.LineBreak.empty()) {
    record.LineBreak = LineBreakEnding(BytesAt(descriptor, start >= 2 ? start - 2 : 0, start, path));
    if (record.LineBreak.empty()) record.LineBreak = "\n";
  }
  return record;
}

std::string FailedRowsHeading(int descriptor, std::uint64_t headerStart, std::uint64_t headerEnd, bool keyed,
                              const std::string& path) {
  const SRecordBytes header = RecordBytes(descriptor, headerStart, headerEnd, path);
  return header.Text + "," + FailedRowsColumnNames(keyed) + header.LineBreak;
}

std::string FailedRow(const SRecordBytes& record, const std::string* key, const std::vector<std::string>& rules,
                      const std::vector<std::string>& explanations) {
  std::string row = record.Text + ",";
  if (key) row += CsvField(*key) + ",";
  return row + CsvField(Joined(rules, record.LineBreak)) + "," + CsvField(Joined(explanations, record.LineBreak)) +
         record.LineBreak;
}

}  // namespace rulecalc::batch
