// The batch engine both ways: a rules file and a CSV text, run in one pass
// and cut into blocks at places the input chooses; the two reports, their
// diagnostics, summaries, failed rows and exit statuses must be the same.
//
// Input: rules text, 0x1E, CSV text, 0x1E, cut bytes. The first cut byte
// picks the format and options, each further one the length of a block
// (1 to 256 bytes); without cut bytes the data is one block.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzChecks.h"
#include "rulecalc_batch.h"

namespace {

using rulecalc::fuzzing::Require;
using rulecalc::fuzzing::RequireSame;

constexpr char kSeparator = '\x1E';

struct SOutcome {
  std::string Report;
  std::string Diagnostics;
  std::string Summary;
  std::string FailedRows;
  int Status = -1;
};

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/rulecalc-batch-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) std::abort();
    return std::string(made);
  }();
  return folder;
}

std::string Written(const char* name, std::string_view text) {
  const std::string path = Folder() + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Require(file != nullptr, "the fuzzer can write its files");
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return path;
}

std::string Drained(rulecalc_batch* batch) {
  std::string all;
  for (size_t i = 0; i < rulecalc_batch_diagnostic_count(batch); ++i) {
    size_t length = 0;
    const char* text = rulecalc_batch_diagnostic(batch, i, &length);
    all.append(text, length);
  }
  rulecalc_batch_clear_diagnostics(batch);
  return all;
}

// A handle with the options the choice byte asks for, the rules and the data; null when they are unusable.
rulecalc_batch* Client(unsigned choice, const std::string& rules, const std::string& data) {
  static const char* const kFormats[] = {"text", "csv", "jsonl", "html"};
  rulecalc_batch* batch = rulecalc_batch_new();
  Require(batch != nullptr, "a handle is made");
  rulecalc_batch_set_option(batch, "format", kFormats[choice % 4]);
  rulecalc_batch_set_option(batch, "all", (choice & 4) ? "1" : "0");
  rulecalc_batch_set_option(batch, "show-values", (choice & 8) ? "1" : "0");
  if (choice & 16) rulecalc_batch_set_option(batch, "null-values", "N/A,-");
  if (choice & 32) rulecalc_batch_set_option(batch, "failed-only", "1");
  if (choice & 64) rulecalc_batch_set_option(batch, "fail-on", "failed");
  if (choice & 128) rulecalc_batch_set_option(batch, "failed-rows", "1");
  if (rulecalc_batch_read_rules(batch, rules.c_str()) != RULECALC_BATCH_OK ||
      rulecalc_batch_add_data(batch, data.c_str()) != RULECALC_BATCH_OK) {
    rulecalc_batch_free(batch);
    return nullptr;
  }
  return batch;
}

int Append(void* host, const char* bytes, size_t length) {
  static_cast<std::string*>(host)->append(bytes, length);
  return 0;
}

std::string Plan(rulecalc_batch* batch) {
  const char* plan = nullptr;
  size_t length = 0;
  Require(rulecalc_batch_plan(batch, &plan, &length) == RULECALC_BATCH_OK, "a plan is made");
  return std::string(plan, length);
}

std::vector<std::string> Scans(rulecalc_batch* client, std::string_view cuts) {
  const std::string plan = Plan(client);
  rulecalc_batch* worker = rulecalc_batch_from_plan(plan.data(), plan.size());
  Require(worker != nullptr, "a worker is made from the plan");
  uint64_t start = 0, size = 0;
  rulecalc_batch_file(client, 0, nullptr, nullptr, &start, &size);
  std::vector<std::string> scans;
  std::size_t cut = 0;
  uint64_t at = start;
  do {
    const uint64_t length = cuts.empty() ? size : static_cast<unsigned char>(cuts[cut++ % cuts.size()]) + 1;
    const uint64_t stop = at + length < size ? at + length : size;
    const char* scan = nullptr;
    size_t scanLength = 0;
    Require(rulecalc_batch_scan(worker, 0, at, stop, &scan, &scanLength) == RULECALC_BATCH_OK, "a block is scanned");
    scans.emplace_back(scan, scanLength);
    at = stop;
  } while (at < size);
  rulecalc_batch_free(worker);
  return scans;
}

// The block path; false when the columns or the key turn out unusable (the one pass must fail then too).
// The failed rows of the part taken last, after their heading for the first part.
void TakeFailedRows(rulecalc_batch* client, bool first, std::string& failedRows) {
  const char* piece = nullptr;
  size_t length = 0;
  if (first) {
    Require(rulecalc_batch_failed_rows_heading(client, &piece, &length) == RULECALC_BATCH_OK, "the failed rows' heading");
    failedRows.append(piece, length);
  }
  Require(rulecalc_batch_failed_rows_taken(client, &piece, &length) == RULECALC_BATCH_OK, "a part's failed rows");
  failedRows.append(piece, length);
}

bool InBlocks(rulecalc_batch* client, std::string_view cuts, bool failedRows, SOutcome& outcome) {
  const std::vector<std::string> scans = Scans(client, cuts);
  std::vector<const char*> bytes;
  std::vector<size_t> lengths;
  for (const std::string& scan : scans) {
    bytes.push_back(scan.data());
    lengths.push_back(scan.size());
  }
  if (rulecalc_batch_fold_scans(client, scans.size(), bytes.data(), lengths.data()) != RULECALC_BATCH_OK) return false;
  const rulecalc_batch_status prepared = rulecalc_batch_prepare(client);
  if (prepared == RULECALC_BATCH_CANNOT_RUN) return false;  // a rule names a variable no column has
  Require(prepared == RULECALC_BATCH_OK, "the rules are prepared");
  const std::string plan = Plan(client);
  rulecalc_batch* worker = rulecalc_batch_from_plan(plan.data(), plan.size());
  Require(worker != nullptr, "a worker is made from the prepared plan");
  std::vector<std::string> parts(rulecalc_batch_block_count(client));
  for (size_t i = parts.size(); i-- > 0;) {
    const char* piece = nullptr;
    size_t length = 0;
    Require(rulecalc_batch_block(client, i, &piece, &length) == RULECALC_BATCH_OK, "a block is given");
    const std::string block(piece, length);
    Require(rulecalc_batch_evaluate(worker, block.data(), block.size(), &piece, &length) == RULECALC_BATCH_OK,
            "a block is evaluated");
    parts[i].assign(piece, length);
  }
  rulecalc_batch_free(worker);
  const char* piece = nullptr;
  size_t length = 0;
  Require(rulecalc_batch_heading(client, &piece, &length) == RULECALC_BATCH_OK, "the heading is given");
  outcome.Report.assign(piece, length);
  for (const std::string& part : parts) {
    Require(rulecalc_batch_take(client, part.data(), part.size(), &piece, &length) == RULECALC_BATCH_OK,
            "a part is taken");
    outcome.Report.append(piece, length);
    if (failedRows) TakeFailedRows(client, &part == &parts.front(), outcome.FailedRows);
  }
  Require(rulecalc_batch_finish(client, &piece, &length) == RULECALC_BATCH_OK, "the report ends");
  outcome.Report.append(piece, length);
  return true;
}

void Finish(rulecalc_batch* batch, SOutcome& outcome) {
  outcome.Diagnostics += Drained(batch);
  outcome.Summary = rulecalc_batch_summary_text(batch, nullptr);
  outcome.Status = rulecalc_batch_exit_status(batch);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t first = input.find(kSeparator);
  if (first == std::string_view::npos) return 0;
  const std::size_t second = input.find(kSeparator, first + 1);
  const std::string_view csv = input.substr(first + 1, second == std::string_view::npos ? std::string_view::npos
                                                                                        : second - first - 1);
  std::string_view cuts = second == std::string_view::npos ? std::string_view() : input.substr(second + 1);
  const unsigned choice = cuts.empty() ? 0 : static_cast<unsigned char>(cuts[0]);
  if (!cuts.empty()) cuts.remove_prefix(1);
  const std::string rules = Written("r.rules", input.substr(0, first));
  const std::string path = Written("d.csv", csv);

  rulecalc_batch* reference = Client(choice, rules, path);
  if (!reference) return 0;
  SOutcome expected;
  Require(rulecalc_batch_failed_rows_writer(reference, Append, &expected.FailedRows) == RULECALC_BATCH_OK,
          "the failed rows' writer is taken");
  const rulecalc_batch_status run = rulecalc_batch_run(reference, 2, Append, nullptr, &expected.Report);
  Finish(reference, expected);
  rulecalc_batch_free(reference);

  rulecalc_batch* client = Client(choice, rules, path);
  Require(client != nullptr, "the same input is usable twice");
  SOutcome blocks;
  const bool evaluated = InBlocks(client, cuts, (choice & 128) != 0, blocks);
  Finish(client, blocks);
  rulecalc_batch_free(client);
  Require(evaluated == (run == RULECALC_BATCH_OK), "both ways accept the same data");
  if (!evaluated) return 0;
  RequireSame(blocks.Report, expected.Report, "the blocks' report is the one pass's");
  RequireSame(blocks.Diagnostics, expected.Diagnostics, "the blocks' diagnostics are the one pass's");
  RequireSame(blocks.Summary, expected.Summary, "the blocks' summary is the one pass's");
  RequireSame(blocks.FailedRows, expected.FailedRows, "the blocks' failed rows are the one pass's");
  Require(blocks.Status == expected.Status, "both ways end with the same status");
  return 0;
}
