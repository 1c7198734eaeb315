// The block path against one pass: blocks evaluated out of order, each in a
// process of its own, give the report and diagnostics of rulecalc_batch_run
// byte for byte; byte strings that are not the engine's are refused.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "rulecalc_batch.h"

namespace {

struct SOutcome {
  std::string Report;
  std::string Diagnostics;
  std::string Summary;
  std::string FailedRows;
  std::string Notes;
  int Status = -1;
};

class TTempFolder {
 public:
  TTempFolder() {
    char pattern[] = "/tmp/rulecalc-blocks-XXXXXX";
    Path = mkdtemp(pattern);
  }
  ~TTempFolder() { std::filesystem::remove_all(Path); }
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = Path + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Path;
};

std::string Bytes(const char* bytes, size_t length) { return std::string(bytes, length); }

std::string Drained(rulecalc_batch* batch) {
  std::string all;
  for (size_t i = 0; i < rulecalc_batch_diagnostic_count(batch); ++i) {
    size_t length = 0;
    const char* text = rulecalc_batch_diagnostic(batch, i, &length);
    all += Bytes(text, length);
  }
  rulecalc_batch_clear_diagnostics(batch);
  return all;
}

struct SCase {
  const char* Name;
  std::vector<std::string> Data;  // one text per file
  std::vector<std::pair<const char*, const char*>> Options;
};

const char kRules[] =
    "@max-failed idok 10%\nadult: AGE >= 18;\nidok \"ids are positive\": ID > 0;\nratio: 100/AGE < 10;\n"
    "coded: ID = \"1\";\n";

std::string Notes(rulecalc_batch* batch) {
  const char* bytes = nullptr;
  size_t length = 0;
  EXPECT_EQ(rulecalc_batch_notes(batch, &bytes, &length), RULECALC_BATCH_OK) << rulecalc_batch_message(batch, nullptr);
  return Bytes(bytes, length);
}

rulecalc_batch* Client(const SCase& c, const std::string& format, const std::string& rules,
                       const std::vector<std::string>& paths) {
  rulecalc_batch* batch = rulecalc_batch_new();
  EXPECT_EQ(rulecalc_batch_set_option(batch, "format", format.c_str()), RULECALC_BATCH_OK);
  for (const auto& [name, value] : c.Options) EXPECT_EQ(rulecalc_batch_set_option(batch, name, value), RULECALC_BATCH_OK);
  EXPECT_EQ(rulecalc_batch_read_rules(batch, rules.c_str()), RULECALC_BATCH_OK) << rulecalc_batch_message(batch, nullptr);
  for (const std::string& path : paths) {
    EXPECT_EQ(rulecalc_batch_add_data(batch, path.c_str()), RULECALC_BATCH_OK) << rulecalc_batch_message(batch, nullptr);
  }
  return batch;
}

int Append(void* host, const char* bytes, size_t length) {
  static_cast<std::string*>(host)->append(bytes, length);
  return 0;
}

// With one job the types are settled in one pass over the data; with more,
// from blocks scanned side by side.
SOutcome OnePass(rulecalc_batch* batch, size_t jobs = 1) {
  SOutcome outcome;
  EXPECT_EQ(rulecalc_batch_failed_rows_writer(batch, Append, &outcome.FailedRows), RULECALC_BATCH_OK);
  EXPECT_EQ(rulecalc_batch_run(batch, jobs, Append, nullptr, &outcome.Report), RULECALC_BATCH_OK)
      << rulecalc_batch_message(batch, nullptr);
  outcome.Diagnostics = Drained(batch);
  outcome.Summary = rulecalc_batch_summary_text(batch, nullptr);
  outcome.Notes = Notes(batch);
  outcome.Status = rulecalc_batch_exit_status(batch);
  return outcome;
}

std::string Plan(rulecalc_batch* batch) {
  const char* plan = nullptr;
  size_t length = 0;
  EXPECT_EQ(rulecalc_batch_plan(batch, &plan, &length), RULECALC_BATCH_OK);
  return Bytes(plan, length);
}

// The part of a block, evaluated by a child process from the plan alone.
std::string PartInChildProcess(const std::string& plan, const std::string& block) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    rulecalc_batch* worker = rulecalc_batch_from_plan(plan.data(), plan.size());
    const char* part = nullptr;
    size_t length = 0;
    if (!worker || rulecalc_batch_evaluate(worker, block.data(), block.size(), &part, &length) != RULECALC_BATCH_OK) {
      _exit(1);
    }
    for (size_t done = 0; done < length;) {
      const ssize_t written = write(pipeEnds[1], part + done, length - done);
      if (written <= 0) _exit(1);
      done += static_cast<size_t>(written);
    }
    _exit(0);
  }
  close(pipeEnds[1]);
  std::string part;
  char buffer[4096];
  for (ssize_t read = 0; (read = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) part.append(buffer, static_cast<size_t>(read));
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return part;
}

std::vector<std::string> Scans(rulecalc_batch* client, std::uint64_t blockBytes) {
  const std::string plan = Plan(client);
  rulecalc_batch* worker = rulecalc_batch_from_plan(plan.data(), plan.size());
  std::vector<std::string> scans;
  for (size_t f = 0; f < rulecalc_batch_file_count(client); ++f) {
    uint64_t start = 0, size = 0;
    rulecalc_batch_file(client, f, nullptr, nullptr, &start, &size);
    for (uint64_t at = start; at < size || at == start; at += blockBytes) {
      const char* scan = nullptr;
      size_t length = 0;
      EXPECT_EQ(rulecalc_batch_scan(worker, f, at, std::min(at + blockBytes, size), &scan, &length), RULECALC_BATCH_OK);
      scans.push_back(Bytes(scan, length));
      if (at >= size) break;
    }
  }
  rulecalc_batch_free(worker);
  return scans;
}

// The failed rows of the part just taken (the heading before the first).
void TakeFailedRows(rulecalc_batch* client, bool first, std::string& failedRows) {
  const char* bytes = nullptr;
  size_t length = 0;
  if (first) {
    EXPECT_EQ(rulecalc_batch_failed_rows_heading(client, &bytes, &length), RULECALC_BATCH_OK);
    failedRows += Bytes(bytes, length);
  }
  EXPECT_EQ(rulecalc_batch_failed_rows_taken(client, &bytes, &length), RULECALC_BATCH_OK);
  failedRows += Bytes(bytes, length);
}

SOutcome InBlocks(rulecalc_batch* client, std::uint64_t blockBytes, bool failedRows) {
  SOutcome outcome;
  const std::vector<std::string> scans = Scans(client, blockBytes);
  std::vector<const char*> bytes;
  std::vector<size_t> lengths;
  for (const std::string& scan : scans) {
    bytes.push_back(scan.data());
    lengths.push_back(scan.size());
  }
  EXPECT_EQ(rulecalc_batch_fold_scans(client, scans.size(), bytes.data(), lengths.data()), RULECALC_BATCH_OK)
      << rulecalc_batch_message(client, nullptr);
  EXPECT_EQ(rulecalc_batch_prepare(client), RULECALC_BATCH_OK);
  const std::string plan = Plan(client);
  std::vector<std::string> parts(rulecalc_batch_block_count(client));
  for (size_t i = parts.size(); i-- > 0;) {
    const char* block = nullptr;
    size_t length = 0;
    EXPECT_EQ(rulecalc_batch_block(client, i, &block, &length), RULECALC_BATCH_OK);
    parts[i] = PartInChildProcess(plan, Bytes(block, length));
  }
  const char* piece = nullptr;
  size_t length = 0;
  EXPECT_EQ(rulecalc_batch_heading(client, &piece, &length), RULECALC_BATCH_OK);
  outcome.Report = Bytes(piece, length);
  for (const std::string& part : parts) {
    EXPECT_EQ(rulecalc_batch_take(client, part.data(), part.size(), &piece, &length), RULECALC_BATCH_OK)
        << rulecalc_batch_message(client, nullptr);
    outcome.Report += Bytes(piece, length);
    if (failedRows) TakeFailedRows(client, &part == &parts.front(), outcome.FailedRows);
  }
  EXPECT_EQ(rulecalc_batch_finish(client, &piece, &length), RULECALC_BATCH_OK);
  outcome.Report += Bytes(piece, length);
  outcome.Diagnostics = Drained(client);
  outcome.Summary = rulecalc_batch_summary_text(client, nullptr);
  outcome.Notes = Notes(client);
  outcome.Status = rulecalc_batch_exit_status(client);
  return outcome;
}

const std::vector<SCase>& Cases() {
  static const std::vector<SCase> cases = {
      {"quoted line breaks and CRLF",
       {"ID,AGE,NOTE:text\r\n1,20,\"line one\r\nline two\"\r\n2,15,\"a \"\"quoted\"\" ,comma\"\r\n\r\n"
        "3,,\"multi\nline\n\nwith, empty\n\"\r\n4,30,plain\r\n5,17,\"\"\"\"\r\n"},
       {{"key", "ID"}, {"show-values", "1"}, {"failed-rows", "1"}}},
      {"malformed rows",
       {"ID,AGE\n1,20\n2,abc,3\n3,\"x\"y\n4,16\n5,\"never closed\n6,40\n"}, {{"all", "1"}, {"failed-rows", "1"}}},
      {"header only", {"ID:num,AGE:num\n"}, {}},
      {"mixed column inferred as text",
       {"ID,AGE\n1,20\n2,N/A\n3,30\n4,40\n5,-\n6,50\n7,60\n"}, {{"failed-only", "1"}}},
      {"several files",
       {"ID,AGE\n1,20\n2,\"1\n5\"\n", "ID,AGE\n3,10\n\n4,x\n", "ID,AGE\n5,50"}, {{"key", "ID"}, {"failed-rows", "1"}}},
      {"thresholds crossed and within",
       {"ID,AGE\n1,20\n2,10\n3,30\n-4,40\n"}, {{"fail-on", "failed"}, {"max-failed", "adult=1"}}},
      {"fallbacks counted across blocks",
       {"ID,AGE\n1,0\n2,5\n3,\n4,0\n5,50\n", "ID,AGE\n6,0\n"}, {{"show-values", "1"}}},
      {"header below a title, a units row after it, a mapped column",
       {"Claims 2026, \"draft\nA\n\nID,年龄=AGE\n-,years\n1,20\n2,abc,3\n3,15\n4,0\n"},
       {{"header-row", "4"}, {"skip-rows", "1"}, {"key", "年龄"}, {"show-values", "1"}, {"failed-rows", "1"}}},
      {"characters GBK lacks, and bytes no encoding reads",
       {"ID,AGE:num,NAME\n1,20,\xCA\xA4\xF0\xA0\x80\x80\n2,\xFF,x\n3,15,\xF0\x9F\x98\x80\n"},
       {{"data-encoding", "UTF-8"}, {"key", "NAME"}, {"show-values", "1"}, {"all", "1"}}},
  };
  return cases;
}

TEST(Blocks, OutOfOrderInOtherProcessesEqualOnePass) {
  TTempFolder folder;
  const std::string rules = folder.Write("r.rules", kRules);
  for (const SCase& c : Cases()) {
    const bool failedRows = std::any_of(c.Options.begin(), c.Options.end(),
                                        [](const auto& option) { return std::string(option.first) == "failed-rows"; });
    std::vector<std::string> paths;
    std::uint64_t whole = 0;
    for (std::size_t i = 0; i < c.Data.size(); ++i) {
      paths.push_back(folder.Write("d" + std::to_string(i) + ".csv", c.Data[i]));
      whole = std::max<std::uint64_t>(whole, c.Data[i].size());
    }
    for (const std::string format : {"text", "csv", "jsonl", "html"}) {
      rulecalc_batch* reference = Client(c, format, rules, paths);
      const SOutcome expected = OnePass(reference);
      rulecalc_batch_free(reference);
      EXPECT_EQ(expected.FailedRows.empty(), !failedRows) << c.Name;
      if (std::string(c.Name) == "fallbacks counted across blocks") {
        const std::string said = expected.Report + expected.Summary;
        EXPECT_NE(said.find("4 rows, / could not divide by AGE, e.g. row 1 "), std::string::npos) << said;
        EXPECT_NE(expected.Notes.find("\r\nnote,ratio,4,1,"), std::string::npos) << expected.Notes;
      }
      EXPECT_NE(expected.Notes.find("\r\nwarning,coded,,,"), std::string::npos) << expected.Notes;
      for (std::uint64_t blockBytes : {std::uint64_t{1}, std::uint64_t{7}, std::uint64_t{64}, whole}) {
        SCOPED_TRACE(std::string(c.Name) + ", " + format + ", blocks of " + std::to_string(blockBytes));
        rulecalc_batch* client = Client(c, format, rules, paths);
        const SOutcome blocks = InBlocks(client, blockBytes, failedRows);
        rulecalc_batch_free(client);
        EXPECT_EQ(blocks.Report, expected.Report);
        EXPECT_EQ(blocks.Diagnostics, expected.Diagnostics);
        EXPECT_EQ(blocks.Summary, expected.Summary);
        EXPECT_EQ(blocks.Status, expected.Status);
        EXPECT_EQ(blocks.FailedRows, expected.FailedRows);
        EXPECT_EQ(blocks.Notes, expected.Notes);
      }
    }
  }
}

// A file of several scan blocks, with quoted line breaks throughout and a
// column that turns out text only near its end: two jobs settle the types
// in blocks side by side and report what one job reports.
TEST(Blocks, TypesSettledSideBySideEqualOnePass) {
  TTempFolder folder;
  const std::string rules = folder.Write("r.rules", kRules);
  std::string data = "ID,AGE,NOTE\n";
  for (int row = 1; row <= 60000; ++row) {
    data += std::to_string(row) + "," + (row == 59000 ? std::string("unknown") : std::to_string(row % 90)) +
            ",\"first line\nsecond, line " + std::to_string(row) + "\"\n";
  }
  const std::string path = folder.Write("big.csv", data);
  const SCase c{"several scan blocks", {data}, {{"failed-only", "1"}}};
  for (const std::string format : {"text", "csv"}) {
    rulecalc_batch* one = Client(c, format, rules, {path});
    const SOutcome expected = OnePass(one, 1);
    rulecalc_batch_free(one);
    EXPECT_NE(expected.Diagnostics.find("59000"), std::string::npos) << expected.Diagnostics;
    rulecalc_batch* two = Client(c, format, rules, {path});
    const SOutcome sideBySide = OnePass(two, 2);
    rulecalc_batch_free(two);
    EXPECT_EQ(sideBySide.Report, expected.Report) << format;
    EXPECT_EQ(sideBySide.Diagnostics, expected.Diagnostics) << format;
    EXPECT_EQ(sideBySide.Summary, expected.Summary) << format;
    EXPECT_EQ(sideBySide.Status, expected.Status) << format;
  }
  // A progress callback that asks to stop ends the type pass, one job or two,
  // before anything is written.
  for (const size_t jobs : {size_t{1}, size_t{2}}) {
    rulecalc_batch* stopped = Client(c, "csv", rules, {path});
    std::string report;
    const rulecalc_batch_progress stop = [](void*, int, uint64_t, uint64_t, uint64_t) { return 1; };
    EXPECT_EQ(rulecalc_batch_run(stopped, jobs, Append, stop, &report), RULECALC_BATCH_STOPPED) << jobs;
    EXPECT_EQ(report, "") << jobs;
    rulecalc_batch_free(stopped);
  }
}

// Cut, changed or misplaced byte strings are refused, never read.
TEST(Blocks, ForeignByteStringsAreRefused) {
  TTempFolder folder;
  const std::string rules = folder.Write("r.rules", kRules);
  const std::string data = folder.Write("d.csv", "ID,AGE\n1,20\n2,10\n3,30\n");
  rulecalc_batch* client = Client(Cases()[1], "csv", rules, {data});
  const std::vector<std::string> scans = Scans(client, 4);
  std::vector<const char*> bytes;
  std::vector<size_t> lengths;
  for (const std::string& scan : scans) {
    bytes.push_back(scan.data());
    lengths.push_back(scan.size());
  }
  {
    // a cut scan, scans that leave a gap, and scans of another data file are refused
    const std::string other = folder.Write("e.csv", "ID,AGE\n9,9\n");
    rulecalc_batch* stranger = Client(Cases()[1], "csv", rules, {other});
    const std::string foreign = Scans(stranger, 64).front();
    rulecalc_batch_free(stranger);
    rulecalc_batch* refusing = Client(Cases()[1], "csv", rules, {data});
    const std::string cutScan = scans[0].substr(0, scans[0].size() - 1);
    const char* const cutOne[] = {cutScan.data()};
    const size_t cutLength[] = {cutScan.size()};
    EXPECT_EQ(rulecalc_batch_fold_scans(refusing, 1, cutOne, cutLength), RULECALC_BATCH_BAD_CALL);
    const char* const gap[] = {scans[0].data(), scans[2].data()};
    const size_t gapLengths[] = {scans[0].size(), scans[2].size()};
    EXPECT_EQ(rulecalc_batch_fold_scans(refusing, 2, gap, gapLengths), RULECALC_BATCH_BAD_CALL);
    const char* const strange[] = {foreign.data()};
    const size_t strangeLength[] = {foreign.size()};
    EXPECT_EQ(rulecalc_batch_fold_scans(refusing, 1, strange, strangeLength), RULECALC_BATCH_BAD_CALL);
    rulecalc_batch_free(refusing);
  }
  ASSERT_EQ(rulecalc_batch_fold_scans(client, scans.size(), bytes.data(), lengths.data()), RULECALC_BATCH_OK);
  ASSERT_EQ(rulecalc_batch_prepare(client), RULECALC_BATCH_OK);
  const std::string plan = Plan(client);
  const char* piece = nullptr;
  size_t length = 0;
  ASSERT_EQ(rulecalc_batch_block(client, 1, &piece, &length), RULECALC_BATCH_OK);
  const std::string block = Bytes(piece, length);
  rulecalc_batch* worker = rulecalc_batch_from_plan(plan.data(), plan.size());
  ASSERT_NE(worker, nullptr);
  ASSERT_EQ(rulecalc_batch_evaluate(worker, block.data(), block.size(), &piece, &length), RULECALC_BATCH_OK);
  const std::string part = Bytes(piece, length);
  ASSERT_EQ(rulecalc_batch_heading(client, &piece, &length), RULECALC_BATCH_OK);

  const auto cut = [](const std::string& text) { return text.substr(0, text.size() - 1); };
  const auto flipped = [](std::string text, std::size_t at) {
    text[at % text.size()] = static_cast<char>(text[at % text.size()] ^ 0x20);
    return text;
  };
  for (const std::string& bad : {cut(plan), flipped(plan, 0), flipped(plan, plan.size() / 2), plan + "x",
                                 std::string("RCBE"), std::string()}) {
    EXPECT_EQ(rulecalc_batch_from_plan(bad.data(), bad.size()), nullptr);
  }
  for (const std::string& bad : {cut(block), flipped(block, 5), flipped(block, block.size() - 3), part}) {
    EXPECT_EQ(rulecalc_batch_evaluate(worker, bad.data(), bad.size(), &piece, &length), RULECALC_BATCH_BAD_CALL);
  }
  for (const std::string& bad : {cut(part), flipped(part, 4), flipped(part, part.size() - 2), block, part}) {
    // the last one is whole, but block 1's part cannot come before block 0's
    EXPECT_EQ(rulecalc_batch_take(client, bad.data(), bad.size(), &piece, &length), RULECALC_BATCH_BAD_CALL);
  }
  EXPECT_EQ(rulecalc_batch_finish(client, &piece, &length), RULECALC_BATCH_BAD_CALL);  // parts are missing
  EXPECT_EQ(rulecalc_batch_notes(client, &piece, &length), RULECALC_BATCH_BAD_CALL);   // nor is the run finished
  EXPECT_EQ(rulecalc_batch_fold_scans(client, 1, bytes.data(), lengths.data()), RULECALC_BATCH_BAD_CALL);
  EXPECT_EQ(rulecalc_batch_plan(nullptr, &piece, &length), RULECALC_BATCH_BAD_CALL);
  rulecalc_batch_free(worker);
  rulecalc_batch_free(client);
}

}  // namespace
