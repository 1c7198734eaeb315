#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "batch/BatchPlan.h"
#include "batch/Chunk.h"
#include "batch/ColumnInference.h"
#include "batch/CsvReader.h"
#include "batch/DataFile.h"
#include "batch/Report.h"
#include "batch/RuleTests.h"
#include "batch/Summary.h"
#include "batch/Thresholds.h"
#include "batch/text/TextCodec.h"
#include "batch/xlsx/XlsxReport.h"

namespace rulecalc::batch {

class TBatchWorker;
struct SBlockScan;

// A call the engine cannot take now or with these arguments.
class TBadCall : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A write or progress callback asked to stop.
class TStopped : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A rule names a variable no column has: the run stops before its first row.
class TCannotRun : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How a run reports, as set option by option.
struct SEngineOptions {
  EMReportFormat Format = EMReportFormat::Text;
  bool All = false;
  bool FailedOnly = false;
  std::string Key;
  bool ShowValues = false;
  std::vector<std::string> NullValues;
  bool Bom = false;
  bool RawCells = false;
  std::string DataEncoding;
  std::string RulesEncoding;
  std::string OutputEncoding = "UTF-8";
  std::string DateOrder;
  std::string DateSeparator;
  bool FreshCalculators = false;
  EMFailOn FailOn = EMFailOn::Never;
  std::vector<std::pair<std::string, SFailedLimit>> MaxFailed;  // rule id (output encoding) and its limit
  bool Tests = false;  // the data files are tests files: expectation columns beside the variables
  bool FailedRows = false;  // gather the records that need attention, as read, with their failed rules
  std::optional<std::uint64_t> HeaderRow;  // the data's header line, from 1; unset: the rules file's, else 1
  std::optional<std::uint64_t> SkipRows;   // records after the header that are no data; unset: the rules file's, else 0
  std::string Sheet;                       // the sheet of a workbook to read (UTF-8); empty: the rules file's, else the first
  std::optional<ELanguage> Language;       // the rules' language; unset: the rules file's, else classic
};

// A block of a data file, settled by the folded scans.
struct SSettledBlock {
  std::size_t File = 0;
  std::uint64_t Start = 0;
  std::uint64_t Stop = 0;
  bool Inside = false;  // Start lies inside a quoted field
  std::uint64_t FirstRow = 1;
  std::uint64_t LinesBefore = 0;
};

// The report's pieces as a run hands them out: write(bytes) returns false
// to stop; progress(phase, done, total, rows) too.
using TWriteReport = std::function<bool(const std::string&)>;
using TShowProgress = std::function<bool(int, std::uint64_t, std::uint64_t, std::uint64_t)>;

// The batch: every rule of a rules file against every record of the data
// files, in one process (Run) or block by block in any processes.
class TBatchEngine {
 public:
  TBatchEngine();
  ~TBatchEngine();
  TBatchEngine(const TBatchEngine&) = delete;
  TBatchEngine& operator=(const TBatchEngine&) = delete;

  void SetOption(const std::string& name, const std::string& value);
  void ReadRules(const std::string& path);
  void ReadRulesText(std::string_view text, const std::string& path);
  void AddData(const std::string& path);

  void Run(std::size_t jobs, const TWriteReport& write, const TShowProgress& progress);
  // Where a run in one process writes the failed rows (heading first).
  void SetFailedRowsWriter(TWriteReport write);
  // The failed rows' heading (on the handle that added the data), and the
  // failed rows of the part taken last.
  std::string FailedRowsHeading() const;
  const std::string& FailedRowsTaken() const { return TakenFailedRows; }
  // What a run would find before its first row, in the diagnostics, and the
  // columns no rule uses; the exit status says whether every rule can run.
  void Check(const TShowProgress& progress);
  // Takes the place of a run on tests files: every expectation of every row
  // compared with what its rule gives; the exit status says whether all held.
  void Test();
  const std::vector<STestCase>& TestCases() const { return Cases; }

  std::string Plan() const;
  static std::unique_ptr<TBatchEngine> FromPlan(const char* bytes, std::size_t length);
  std::string Scan(std::size_t file, std::uint64_t start, std::uint64_t stop);
  void FoldScans(const std::vector<std::string_view>& scans);
  void Prepare();
  std::size_t BlockCount() const { return Blocks.size(); }
  std::string Block(std::size_t index) const;
  std::string Evaluate(const char* block, std::size_t length);
  std::string Heading();
  std::string Take(const char* part, std::size_t length);
  std::string Finish();

  const std::vector<SRule>& Rules() const { return BatchPlan.Rules; }
  const std::string& RulesDateOrder() const { return RulesFileDateOrder; }
  const std::string& RulesDateSeparator() const { return RulesFileDateSeparator; }
  const std::string& RulesLanguage() const { return RulesFileLanguage; }  // "classic", "extended" or ""
  const std::vector<SPlanFile>& Files() const { return BatchPlan.Files; }
  const std::vector<SColumn>& Columns() const { return BatchPlan.Columns; }
  TTextCodec& Output() { return *OutputCodec; }

  std::vector<std::string>& Diagnostics() { return Notices; }
  const std::string& SummaryText() const { return SummaryForStandardError; }
  // The run's problems and fallbacks as CSV records (kind,rule,rows,first_row,message), once it is finished.
  std::string NotesCsv() const;
  int ExitStatus() const { return Status; }

  // Memory ran out: nothing but freeing the engine is safe now.
  void Break() { Broken = true; }
  bool IsBroken() const { return Broken; }

 private:
  enum class EMStage { Options, Rules, Data, Folded, Prepared, Running, Finished };

  void Require(bool condition, const char* what) const;
  void Notice(std::string text);
  void NoticeProblem(std::vector<SProblem>& problems, EMProblemKind kind, std::optional<std::size_t> rule,
                     std::string text);
  void SettleThresholds(const std::vector<SThreshold>& fromRulesFile);
  void SettleColumns(const std::vector<SColumnEvidence>& evidence);
  std::size_t PrepareRules();
  void RefuseRulesWithoutColumns(std::size_t rules);
  void RefuseFailedRowsOfMixedEncodings() const;
  void NoticeUnusedColumns();
  std::vector<SColumnEvidence> InferColumns(std::size_t jobs, const TShowProgress& progress);
  std::vector<SColumnEvidence> InferInOneProcess(const TShowProgress& progress);
  std::vector<SColumnEvidence> InferInBlocks(std::size_t jobs, const TShowProgress& progress);
  std::vector<SSettledBlock> FoldInFileOrder(const std::vector<SBlockScan>& scans,
                                             std::vector<SColumnEvidence>& evidence) const;
  void EvaluateInOneProcess(std::size_t jobs, const TWriteReport& write, const TShowProgress& progress);
  // Reads the rows of a settled block into result.
  void EvaluateBlock(const SSettledBlock& block, SChunkResult& result);
  std::string TakeResult(const SChunkResult& result);
  std::string SummaryPiece();
  std::uint64_t PlanFingerprint() const;
  std::uint64_t TotalBytes() const;
  std::unique_ptr<TCsvReader> RecordsOf(std::size_t file);
  std::vector<STestRow> ReadTestRows();
  std::vector<SColumnEvidence> TestEvidence(const std::vector<STestRow>& rows) const;
  void CompareTestRow(const STestRow& row, TBatchWorker& worker);

  SEngineOptions Options;
  std::unique_ptr<TTextCodec> OutputCodec;
  std::string RulesPath;
  std::string RulesFileDateOrder;
  std::string RulesFileDateSeparator;
  std::string RulesFileLanguage;
  std::vector<SColumnMapping> ColumnMappings;  // the rules file's @column lines
  std::optional<std::uint64_t> RulesFileHeaderRow;
  std::string RulesFileSheet;  // UTF-8
  std::optional<std::uint64_t> RulesFileSkipRows;
  std::uint64_t FirstHeaderStart = 0;  // the first data file's header record, for the failed rows
  std::uint64_t FirstHeaderEnd = 0;
  SBatchPlan BatchPlan;
  std::vector<std::unique_ptr<TDataFile>> OpenFiles;  // the files this engine added (none on a worker)
  std::vector<std::unique_ptr<TCsvReader>> AfterHeaders;  // readers standing after each header, until used
  std::vector<SSettledBlock> Blocks;
  TWriteReport FailedRowsWriter;
  std::string TakenFailedRows;
  std::vector<STestLayout> TestLayouts;  // per tests file
  std::vector<STestCase> Cases;
  std::optional<std::uint64_t> ReceivedFingerprint;  // of the plan a worker was made from
  // The client's own plan's fingerprint, with the stage and file count it was taken at.
  mutable std::optional<std::pair<std::pair<int, std::size_t>, std::uint64_t>> OwnFingerprint;
  EMStage Stage = EMStage::Options;

  std::vector<SThreshold> Thresholds;  // decided on the handle that read the rules, from the folded tallies
  SBatchSummary Summary;
  std::vector<SProblem> ColumnProblems;  // said when the columns were settled, for the reports
  std::unique_ptr<TReport> Report;
  std::unique_ptr<TXlsxSpool> XlsxSpool;  // an xlsx report's verdicts and failed rows until its end
  bool HeadingGiven = false;
  std::size_t PartsTaken = 0;
  std::vector<std::string> Notices;
  std::string SummaryForStandardError;
  int Status = -1;
  bool Broken = false;
};

}  // namespace rulecalc::batch
