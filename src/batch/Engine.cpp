#include "batch/Engine.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <unordered_map>

#include "batch/BatchWorker.h"
#include "batch/BlockScan.h"
#include "batch/ByteStrings.h"
#include "batch/CsvReader.h"
#include "batch/DateSettings.h"
#include "batch/FailedRows.h"
#include "batch/Failures.h"
#include "batch/InputEncoding.h"
#include "batch/OrderedPipeline.h"
#include "batch/RuleCalculators.h"
#include "batch/RuleVariables.h"
#include "batch/RulesFile.h"
#include "batch/SystemFiles.h"
#include "batch/calc/AnalysisReport.h"
#include "batch/text/ControlCharacters.h"
#include "batch/text/DisplayColumns.h"
#include "batch/text/OneLine.h"

namespace rulecalc::batch {

namespace {

constexpr std::size_t kRowsPerChunk = 256;
constexpr std::size_t kChunksInFlightPerWorker = 4;
constexpr std::uint64_t kHtmlVerdictCap = 1000;
constexpr std::uint64_t kRecordsPerProgress = 256;
// A type pass with more than one job scans blocks of about this size.
constexpr std::uint64_t kBytesPerScan = 1u << 20;

// ---- Options ----------------------------------------------------------------

bool FlagValue(const std::string& name, const std::string& value) {
  if (value == "1") return true;
  if (value == "0") return false;
  throw TUsageError("--" + name + ": '" + value + "' is neither 1 nor 0");
}

EMReportFormat FormatNamed(const std::string& value) {
  if (value == "text") return EMReportFormat::Text;
  if (value == "csv") return EMReportFormat::Csv;
  if (value == "jsonl") return EMReportFormat::JsonLines;
  if (value == "html") return EMReportFormat::Html;
  if (value == "xlsx") return EMReportFormat::Xlsx;
  throw TUsageError("--format: '" + value + "' is not one of text, csv, jsonl, html, xlsx");
}

EMFailOn FailOnNamed(const std::string& value) {
  if (value.empty()) return EMFailOn::Never;
  if (value == "error") return EMFailOn::Error;
  if (value == "failed") return EMFailOn::Failed;
  throw TUsageError("--fail-on: '" + value + "' is not one of error, failed");
}

// The empty text leaves the language to the rules file.
std::optional<ELanguage> LanguageNamed(const std::string& value) {
  if (value.empty()) return std::nullopt;
  if (value == "classic") return ELanguage::Classic;
  if (value == "extended") return ELanguage::Extended;
  throw TUsageError("--language: '" + value + "' is not one of classic, extended");
}

// "RULE=N" or "RULE=P%" (the id may hold '='; the limit cannot) joins the
// limits; the empty text forgets them.
void AddMaxFailed(std::vector<std::pair<std::string, SFailedLimit>>& limits, const std::string& value) {
  if (value.empty()) {
    limits.clear();
    return;
  }
  const std::size_t equals = value.rfind('=');
  if (equals == std::string::npos || equals == 0) {
    throw TUsageError("--max-failed: '" + value + "' is not RULE=N or RULE=P%");
  }
  const std::string id = value.substr(0, equals);
  limits.emplace_back(id, ReadFailedLimit(value.substr(equals + 1), "--max-failed " + id));
}

std::vector<std::string> SplitAtCommas(const std::string& list) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

void CheckEncoding(const std::string& encoding) {
  if (!encoding.empty()) TTextCodec known(encoding);
}

// ---- Rules and columns --------------------------------------------------------

char SeparatorOf(const std::string& option, const std::string& fromFile) {
  const std::string& chosen = option.empty() ? fromFile : option;
  return chosen.empty() ? 0 : chosen[0];
}

// "no column NOBODY; did you mean NOBODI?" with the sentence and carets under the name.
std::string NoColumnFinding(const SRule& rule, const SNamedVariable& variable, const std::vector<SColumn>& columns,
                            TTextCodec& output) {
  std::string message = "no column " + variable.GbkName;
  if (const auto nearest = NearestColumn(variable.GbkName, columns)) message += "; did you mean " + columns[*nearest].GbkName + "?";
  return DescribePlace(rule.GbkSentence, message, variable.FirstAt, output);
}

int WidestId(const std::vector<SRule>& rules) {
  TDisplayColumns columns;
  int widest = 4;
  for (const SRule& rule : rules) widest = std::max(widest, columns.Of(ShowingControls(rule.GbkId)));
  return widest;
}

bool ReportsHeld(const SEngineOptions& options) {
  if (options.FailedOnly) return false;
  const bool everyVerdictByDefault = options.Format == EMReportFormat::Csv || options.Format == EMReportFormat::JsonLines ||
                                     options.Format == EMReportFormat::Xlsx;
  return everyVerdictByDefault || options.All;
}

SReportLayout LayoutOf(const SEngineOptions& options, const SBatchPlan& plan) {
  SReportLayout layout;
  layout.Format = options.Format;
  layout.Encoding = options.OutputEncoding;
  layout.IdColumns = WidestId(plan.Rules);
  if (plan.KeyColumn) layout.GbkKeyName = plan.Columns[*plan.KeyColumn].GbkDataName;
  layout.ShowValues = options.ShowValues || options.Format == EMReportFormat::Xlsx;
  layout.Bom = options.Bom;
  layout.RawCells = options.RawCells;
  return layout;
}

TNullTexts NullTextsOf(const SEngineOptions& options, TTextCodec& output) {
  std::vector<std::string> gbk;
  for (const std::string& text : options.NullValues) gbk.push_back(output.ToGbk(text, "the null value '" + text + "'"));
  return TNullTexts(std::move(gbk));
}

bool SameColumns(const std::vector<SColumn>& a, const std::vector<SColumn>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool sameDate = a[i].Date.has_value() == b[i].Date.has_value() &&
                          (!a[i].Date || (a[i].Date->Order == b[i].Date->Order && a[i].Date->Separator == b[i].Date->Separator &&
                                          a[i].Date->GbkWritten == b[i].Date->GbkWritten));
    const bool samePicture = a[i].Picture.has_value() == b[i].Picture.has_value() &&
                             (!a[i].Picture || a[i].Picture->GbkWritten == b[i].Picture->GbkWritten);
    const bool sameNames = a[i].GbkName == b[i].GbkName && a[i].GbkDataName == b[i].GbkDataName;
    if (!sameNames || a[i].Declared != b[i].Declared || !sameDate || !samePicture) return false;
  }
  return true;
}

// ---- Files --------------------------------------------------------------------

// A data file opened afresh: by its path, or through the descriptor of the
// engine's own open copy (standard input).
struct SOpenContext {
  const std::vector<std::unique_ptr<TDataFile>>* Files;
};

TOwnedFile OpenPlanFile(const SBatchPlan& plan, std::size_t file, const void* context) {
  const auto& open = *static_cast<const SOpenContext*>(context)->Files;
  const std::string& path = plan.Files[file].Path;
  std::FILE* handle = nullptr;
  if (file < open.size() && open[file]) {
    handle = ReopenForReading(open[file]->File());
  }
  if (!handle && plan.Files[file].Workbook) {
    handle = SheetAsCsvFile(path, SSheetChoice{plan.Files[file].Sheet, plan.Files[file].HeaderRow});
  } else if (!handle && path != "-") {
    handle = std::fopen(path.c_str(), "rb");
  }
  if (!handle) throw TReadError("cannot read the data file '" + path + "'");
  return TOwnedFile(handle);
}

// Reads the file past its first lines (before the header): the bytes they
// take, or nothing when the file has fewer.
std::optional<std::uint64_t> SkipLines(std::FILE* file, std::uint64_t lines) {
  std::uint64_t bytes = 0;
  for (std::uint64_t done = 0; done < lines; ++bytes) {
    const int c = std::fgetc(file);
    if (c == EOF) return std::nullopt;
    if (c == '\n') ++done;
  }
  return bytes;
}

// Reads past the records after the header that are no data (a row of units).
void SkipRecords(TCsvReader& reader, std::uint64_t records) {
  SCsvRecord record;
  for (std::uint64_t left = records; left > 0 && reader.Next(record);) --left;
}

// ---- Byte strings ---------------------------------------------------------------

void WriteColumn(TByteWriter& out, const SColumn& column) {
  out.Text(column.Name);
  out.Text(column.GbkName);
  out.Text(column.DataName);
  out.Text(column.GbkDataName);
  out.Flag(column.Declared.has_value());
  out.U8(column.Declared ? static_cast<std::uint8_t>(*column.Declared) : 0);
  out.Flag(column.Date.has_value());
  out.Text(column.Date ? column.Date->Order : "");
  out.U8(column.Date ? static_cast<std::uint8_t>(column.Date->Separator) : 0);
  out.Text(column.Date ? column.Date->GbkWritten : "");
  out.Flag(column.Picture.has_value());
  out.Text(column.Picture ? column.Picture->GbkWritten : "");
  out.U8(static_cast<std::uint8_t>(column.Type));
  out.Text(column.Unusable);
}

EMValueType ReadType(TByteReader& in) {
  const std::uint8_t type = in.U8();
  if (type != vtNumber && type != vtText) throw TForeignBytes("a plan with a bad column type");
  return static_cast<EMValueType>(type);
}

SColumn ReadColumn(TByteReader& in) {
  SColumn column;
  column.Name = in.Text();
  column.GbkName = in.Text();
  column.DataName = in.Text();
  column.GbkDataName = in.Text();
  const bool declared = in.Flag();
  if (declared) {
    column.Declared = ReadType(in);
  } else if (in.U8() != 0) {
    throw TForeignBytes("a plan with a bad column");
  }
  if (in.Flag()) column.Date = SDateReading{};
  std::string order = in.Text();
  const auto separator = static_cast<char>(in.U8());
  const std::string formats = in.Text();
  if (column.Date) {
    column.Date->Order = std::move(order);
    column.Date->Separator = separator;
    column.Date->GbkWritten = formats;
    if (!formats.empty()) column.Date->Formats = DateFormatsOf(formats).value_or(std::vector<SDateFormat>());
    if (!formats.empty() && column.Date->Formats.empty()) throw TForeignBytes("a plan with a bad date format");
  }
  const bool pictured = in.Flag();
  const std::string picture = in.Text();
  if (pictured) column.Picture = NumberPictureOf(picture);
  if (pictured && !column.Picture) throw TForeignBytes("a plan with a bad number picture");
  column.Type = ReadType(in);
  column.Unusable = in.Text();
  return column;
}

void WriteSettings(TByteWriter& out, const SHostEnvironment& environment) {
  const SRegionalSettings& s = environment.Settings;
  for (const std::string* text : {&s.ShortDateFormat, &s.LongDateFormat, &s.ShortTimeFormat, &s.LongTimeFormat,
                                  &s.TimeAMString, &s.TimePMString}) {
    out.Text(*text);
  }
  for (char c : {s.DateSeparator, s.TimeSeparator, s.DecimalSeparator}) out.U8(static_cast<std::uint8_t>(c));
  for (const auto* names : {&s.ShortMonthNames, &s.LongMonthNames}) {
    for (const std::string& name : *names) out.Text(name);
  }
  for (const auto* names : {&s.ShortDayNames, &s.LongDayNames}) {
    for (const std::string& name : *names) out.Text(name);
  }
  out.U64(static_cast<std::uint64_t>(static_cast<std::int64_t>(environment.FixedCurrentYear)));
}

SHostEnvironment ReadSettings(TByteReader& in) {
  SHostEnvironment environment;
  SRegionalSettings& s = environment.Settings;
  for (std::string* text : {&s.ShortDateFormat, &s.LongDateFormat, &s.ShortTimeFormat, &s.LongTimeFormat,
                            &s.TimeAMString, &s.TimePMString}) {
    *text = in.Text();
  }
  for (char* c : {&s.DateSeparator, &s.TimeSeparator, &s.DecimalSeparator}) *c = static_cast<char>(in.U8());
  for (auto* names : {&s.ShortMonthNames, &s.LongMonthNames}) {
    for (std::string& name : *names) name = in.Text();
  }
  for (auto* names : {&s.ShortDayNames, &s.LongDayNames}) {
    for (std::string& name : *names) name = in.Text();
  }
  environment.FixedCurrentYear = static_cast<int>(static_cast<std::int64_t>(in.U64()));
  return environment;
}

ELanguage ReadLanguage(TByteReader& in) {
  const std::uint8_t language = in.U8();
  if (language > static_cast<std::uint8_t>(ELanguage::Extended)) throw TForeignBytes("a plan with a bad language");
  return static_cast<ELanguage>(language);
}

void WriteTally(TByteWriter& out, const SRuleTally& tally) {
  out.U64(tally.Held);
  out.U64(tally.Failed);
  out.U64(tally.Errors);
  out.U64(tally.OtherExplanations);
  out.U64(tally.FirstCame.size());
  for (const auto& explanation : tally.FirstCame) {
    out.Text(explanation->first);
    out.U64(explanation->second);
  }
  out.U64(tally.Notes.size());
  for (const SNoteTally& note : tally.Notes) {
    out.U64(static_cast<std::uint64_t>(note.Position));
    out.U64(static_cast<std::uint64_t>(note.Kind));
    out.U64(note.Rows);
    out.U64(note.FirstRow);
    for (const std::string* text : {&note.Message, &note.Value, &note.Reason}) out.Text(*text);
  }
}

SRuleTally ReadTally(TByteReader& in) {
  SRuleTally tally;
  tally.Held = in.U64();
  tally.Failed = in.U64();
  tally.Errors = in.U64();
  tally.OtherExplanations = in.U64();
  const std::size_t count = in.Count(16);
  for (std::size_t i = 0; i < count; ++i) {
    std::string text = in.Text();
    const std::uint64_t times = in.U64();
    if (tally.Explanations.count(text) > 0) throw TForeignBytes("a part that names an explanation twice");
    tally.CountExplanation(text, times, SIZE_MAX);
  }
  const std::size_t notes = in.Count(40);
  for (std::size_t i = 0; i < notes; ++i) {
    SNoteTally note;
    const std::uint64_t position = in.U64();
    const std::uint64_t kind = in.U64();
    if (position > INT32_MAX || kind > static_cast<std::uint64_t>(ENoteKind::NotANumber))
      throw TForeignBytes("a part with a note of no sentence");
    note.Position = static_cast<std::int32_t>(position);
    note.Kind = static_cast<ENoteKind>(kind);
    note.Rows = in.U64();
    note.FirstRow = in.U64();
    for (std::string* text : {&note.Message, &note.Value, &note.Reason}) *text = in.Text();
    tally.CountNote(note);
  }
  return tally;
}

void WriteStrings(TByteWriter& out, const std::vector<std::string>& texts) {
  out.U64(texts.size());
  for (const std::string& text : texts) out.Text(text);
}

std::vector<std::string> ReadStrings(TByteReader& in) {
  std::vector<std::string> texts(in.Count(8));
  for (std::string& text : texts) text = in.Text();
  return texts;
}

// The text with every byte beyond ASCII as '?'.
std::string AsciiOnly(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  }
  return text;
}

}  // namespace

// ---- The engine -------------------------------------------------------------------

TBatchEngine::TBatchEngine() : OutputCodec(std::make_unique<TTextCodec>(Options.OutputEncoding)) {}

TBatchEngine::~TBatchEngine() = default;

void TBatchEngine::Require(bool condition, const char* what) const {
  if (Broken) throw TBadCall("the batch ran out of memory before; it can only be freed");
  if (!condition) throw TBadCall(what);
}

void TBatchEngine::Notice(std::string text) {
  if (!text.empty()) Notices.push_back(std::move(text));
}

// A notice that the reports show too, in GBK as their other texts (what
// does not convert shows as '?').
void TBatchEngine::NoticeProblem(std::vector<SProblem>& problems, EMProblemKind kind, std::optional<std::size_t> rule,
                                 std::string text) {
  if (text.empty()) return;
  SProblem problem{kind, rule, {}};
  std::size_t badOffset = 0;
  if (!OutputCodec->TryToGbk(text, problem.GbkText, badOffset)) problem.GbkText = AsciiOnly(text);
  problems.push_back(std::move(problem));
  Notice(std::move(text));
}

void TBatchEngine::SetOption(const std::string& name, const std::string& value) {
  Require(Stage == EMStage::Options, "options are set before the rules are read");
  SEngineOptions& o = Options;
  if (name == "format") {
    o.Format = FormatNamed(value);
  } else if (name == "all") {
    o.All = FlagValue(name, value);
  } else if (name == "failed-only") {
    o.FailedOnly = FlagValue(name, value);
  } else if (name == "key") {
    o.Key = value;
  } else if (name == "show-values") {
    o.ShowValues = FlagValue(name, value);
  } else if (name == "null-values") {
    o.NullValues = SplitAtCommas(value);
  } else if (name == "bom") {
    o.Bom = FlagValue(name, value);
  } else if (name == "raw-cells") {
    o.RawCells = FlagValue(name, value);
  } else if (name == "data-encoding") {
    CheckEncoding(value);
    o.DataEncoding = value;
  } else if (name == "rules-encoding") {
    CheckEncoding(value);
    o.RulesEncoding = value;
  } else if (name == "output-encoding") {
    auto codec = std::make_unique<TTextCodec>(value.empty() ? std::string("UTF-8") : value);
    o.OutputEncoding = codec->Encoding();
    OutputCodec = std::move(codec);
  } else if (name == "date-order") {
    if (!value.empty() && value != "ymd" && value != "mdy" && value != "dmy") {
      throw TUsageError("--date-order: '" + value + "' is not one of ymd, mdy, dmy");
    }
    o.DateOrder = value;
  } else if (name == "date-separator") {
    if (value.size() > 1) throw TUsageError("--date-separator: '" + value + "' is not one character");
    o.DateSeparator = value;
  } else if (name == "fresh-calculators") {
    o.FreshCalculators = FlagValue(name, value);
  } else if (name == "fail-on") {
    o.FailOn = FailOnNamed(value);
  } else if (name == "max-failed") {
    AddMaxFailed(o.MaxFailed, value);
  } else if (name == "failed-rows") {
    o.FailedRows = FlagValue(name, value);
  } else if (name == "header-row") {
    o.HeaderRow = value.empty() ? std::nullopt : std::optional<std::uint64_t>(ReadRowCount(value, "--header-row", 1));
  } else if (name == "sheet") {
    o.Sheet = value;
  } else if (name == "skip-rows") {
    o.SkipRows = value.empty() ? std::nullopt : std::optional<std::uint64_t>(ReadRowCount(value, "--skip-rows", 0));
  } else if (name == "language") {
    o.Language = LanguageNamed(value);
  } else if (name == "tests") {
    o.Tests = FlagValue(name, value);
  } else {
    throw TUsageError("there is no option --" + name);
  }
}

void TBatchEngine::ReadRules(const std::string& path) {
  Require(Stage == EMStage::Options, "the rules are read once, after the options");
  ReadRulesText(::rulecalc::batch::ReadRulesText(path), path);
}

void TBatchEngine::ReadRulesText(std::string_view text, const std::string& path) {
  Require(Stage == EMStage::Options, "the rules are read once, after the options");
  std::string notice;
  const std::string encoding =
      InputEncoding(std::string(text), false, Options.RulesEncoding, path, "--rules-encoding", notice);
  Notice(std::move(notice));
  TTextCodec rulesCodec(encoding);
  SRulesFile rules = ParseRules(text, path, rulesCodec);
  RulesPath = path;
  RulesFileDateOrder = rules.DateOrder;
  RulesFileDateSeparator = rules.DateSeparator;
  ColumnMappings = std::move(rules.Columns);
  RulesFileHeaderRow = rules.HeaderRow;
  RulesFileSkipRows = rules.SkipRows;
  RulesFileSheet = TTextCodec("UTF-8").FromGbk(rules.GbkSheet);
  RulesFileLanguage = !rules.Language ? "" : *rules.Language == ELanguage::Extended ? "extended" : "classic";
  BatchPlan.Language = Options.Language.value_or(rules.Language.value_or(ELanguage::Classic));
  BatchPlan.Rules = std::move(rules.Rules);
  SettleThresholds(rules.Tolerances);
  BatchPlan.Environment = BatchEnvironment(Options.DateOrder.empty() ? rules.DateOrder : Options.DateOrder,
                                           SeparatorOf(Options.DateSeparator, rules.DateSeparator));
  BatchPlan.Nulls = NullTextsOf(Options, *OutputCodec);
  BatchPlan.FreshCalculators = Options.FreshCalculators;
  BatchPlan.FailedRows = Options.FailedRows || Options.Format == EMReportFormat::Xlsx;
  Stage = EMStage::Rules;
}

void TBatchEngine::AddData(const std::string& path) {
  Require(Stage == EMStage::Rules || Stage == EMStage::Data, "data files are added after the rules, before a run");
  const std::uint64_t headerRow = Options.HeaderRow.value_or(RulesFileHeaderRow.value_or(1));
  const SSheetChoice sheet{Options.Sheet.empty() ? RulesFileSheet : Options.Sheet, headerRow};
  auto data = std::make_unique<TDataFile>(path, sheet);
  const std::string sample = data->Sample(kEncodingSample);
  std::string notice;
  const std::string encoding = data->Workbook() ? "UTF-8"
                               : sample.empty() && Options.DataEncoding.empty()
                                   ? Options.OutputEncoding
                                   : InputEncoding(sample, sample.size() == kEncodingSample, Options.DataEncoding,
                                                   path, "--data-encoding", notice);
  Notice(std::move(notice));
  TTextCodec dataCodec(encoding);
  const std::optional<std::uint64_t> headerAt = SkipLines(data->File(), headerRow - 1);
  if (!headerAt) {
    throw TUsageError("the data file '" + path + "' has no line " + std::to_string(headerRow) + " for its header");
  }
  auto reader = std::make_unique<TCsvReader>(data->File(), SCsvWindow{*headerAt, UINT64_MAX, headerRow - 1, false});
  SCsvRecord header;
  if (!reader->Next(header)) throw TUsageError("the data file '" + path + "' has no header row");
  SkipRecords(*reader, Options.SkipRows.value_or(RulesFileSkipRows.value_or(0)));
  if (BatchPlan.Files.empty()) {
    FirstHeaderStart = header.Start;
    FirstHeaderEnd = header.End;
  }
  if (Options.Tests) TestLayouts.push_back(SplitTestHeader(header, BatchPlan.Rules, path, dataCodec, *OutputCodec));
  std::vector<SColumn> columns = ColumnsOfHeader(header, path, dataCodec, *OutputCodec);
  MapColumns(columns, ColumnMappings, *OutputCodec);
  if (BatchPlan.Language != ELanguage::Classic) MarkNamesOfOtherLanguage(columns, BatchPlan.Language);
  if (BatchPlan.Files.empty()) {
    BatchPlan.Columns = std::move(columns);
  } else if (!SameColumns(BatchPlan.Columns, columns)) {
    throw TUsageError("the header of '" + path + "' differs from the header of the first data file");
  }
  BatchPlan.Files.push_back(SPlanFile{path, encoding, reader->BytesConsumed(), data->Size(), reader->LinesRead(),
                                      data->Workbook(), sheet.Sheet, headerRow});
  OpenFiles.push_back(std::move(data));
  AfterHeaders.push_back(std::move(reader));
  Stage = EMStage::Data;
}

// The run's thresholds: --fail-on, then each rule's limit, the option's
// over the rules file's.
void TBatchEngine::SettleThresholds(const std::vector<SThreshold>& fromRulesFile) {
  Thresholds.clear();
  if (Options.FailOn != EMFailOn::Never) {
    const char* level = Options.FailOn == EMFailOn::Error ? "error" : "failed";
    Thresholds.push_back(SThreshold{std::string("--fail-on ") + level, Options.FailOn, 0, {}});
  }
  std::vector<std::optional<SThreshold>> perRule(BatchPlan.Rules.size());
  for (const SThreshold& tolerance : fromRulesFile) perRule[tolerance.Rule] = tolerance;
  for (const auto& [id, limit] : Options.MaxFailed) {
    const std::string gbkId = OutputCodec->ToGbk(id, "--max-failed");
    const auto named = std::find_if(BatchPlan.Rules.begin(), BatchPlan.Rules.end(),
                                    [&gbkId](const SRule& rule) { return rule.GbkId == gbkId; });
    if (named == BatchPlan.Rules.end()) {
      throw TUsageError("--max-failed: the rules file '" + RulesPath + "' has no rule '" + ShowingControls(id) + "'");
    }
    const auto rule = static_cast<std::size_t>(named - BatchPlan.Rules.begin());
    perRule[rule] = SThreshold{"--max-failed " + gbkId + "=" + limit.Written, EMFailOn::Never, rule, limit};
  }
  for (const auto& tolerance : perRule) {
    if (tolerance) Thresholds.push_back(*tolerance);
  }
}

// A reader of a file's records: the one left after its header, the first
// time (a pipe can be read once); then one from its data start.
std::unique_ptr<TCsvReader> TBatchEngine::RecordsOf(std::size_t file) {
  if (AfterHeaders[file]) return std::move(AfterHeaders[file]);
  const SPlanFile& data = BatchPlan.Files[file];
  OpenFiles[file]->Seek(data.DataStart);
  return std::make_unique<TCsvReader>(OpenFiles[file]->File(),
                                      SCsvWindow{data.DataStart, UINT64_MAX, data.HeaderLines, false});
}

std::uint64_t TBatchEngine::TotalBytes() const {
  std::uint64_t total = 0;
  for (const SPlanFile& file : BatchPlan.Files) total += file.Size;
  return total;
}

// Once the column types are settled: the columns read as text though most
// of their values are numbers, the columns no rule can name, the key.
void TBatchEngine::SettleColumns(const std::vector<SColumnEvidence>& evidence) {
  std::vector<SColumn>& columns = BatchPlan.Columns;
  for (std::size_t i = 0; i < columns.size() && i < evidence.size(); ++i) {
    if (!columns[i].Declared && evidence[i].Texts > 0) columns[i].Type = vtText;
  }
  const std::string& dataPath = BatchPlan.Files.front().Path;
  ColumnProblems.clear();
  for (std::string& notice : MixedColumnsNotices(columns, evidence, dataPath, *OutputCodec)) {
    NoticeProblem(ColumnProblems, EMProblemKind::Column, std::nullopt, std::move(notice));
  }
  for (const SColumn& column : columns) {
    if (column.Unusable.empty()) continue;
    NoticeProblem(ColumnProblems, EMProblemKind::Column, std::nullopt,
                  dataPath + ": no rule can name the column '" + column.DataName + "': " + column.Unusable +
                      " (names are an ASCII letter, then letters, digits and underscores)\n");
  }
  if (!Options.Key.empty()) {
    BatchPlan.KeyColumn = ColumnNamed(columns, OutputCodec->ToGbk(Options.Key, "--key"), Options.Key);
  }
}

// Analyses every rule once against the column types; a rule that does not
// analyse is reported now and left out of the rows, and one that names a
// variable no column has is reported with the nearest column's name.
// Returns how many rules name such variables.
std::size_t TBatchEngine::PrepareRules() {
  RefuseFailedRowsOfMixedEncodings();
  SBatchPlan& plan = BatchPlan;
  Summary = SBatchSummary();
  Summary.Tallies.resize(plan.Rules.size());
  Summary.Problems = ColumnProblems;
  TRuleCalc checker(plan.Environment);
  checker.SetLanguage(plan.Language);
  const std::vector<SVariable> variables = EmptyVariables(plan.Columns);
  std::unordered_map<std::string_view, std::size_t> firstOfSentence;
  std::size_t withoutColumns = 0;
  for (std::size_t index = 0; index < plan.Rules.size(); ++index) {
    const SRule& rule = plan.Rules[index];
    plan.RuleSentence.push_back(firstOfSentence.emplace(rule.GbkSentence, plan.RuleSentence.size()).first->second);
    const std::vector<SNamedVariable> named = VariablesOfSentence(rule.GbkSentence, plan.Language);
    plan.RuleColumns.push_back(ColumnsOfVariables(named, plan.Columns));
    const SEvaluation evaluation = AnalyseRule(checker, rule, variables);
    RequireMemory(checker);
    plan.RuleCodeSize.push_back(checker.Machine.Code.size());
    const bool analyses = evaluation.Outcome == EMOutcome::Held;
    plan.RuleAnalyses.push_back(analyses);
    Summary.AnalysisErrors.push_back(analyses ? "" : evaluation.Text);
    const std::string where =
        RulesPath + ":" + std::to_string(rule.Line) + ": rule " + OutputCodec->FromGbkShowingControls(rule.GbkId);
    for (const SAnalysisWarning& warning : evaluation.Warnings) {
      NoticeProblem(Summary.Problems, EMProblemKind::Warning, index,
                    where + ": " + DescribeWarning(rule.GbkSentence, warning, *OutputCodec));
    }
    const std::vector<SNamedVariable> missing = VariablesWithoutColumn(named, plan.Columns);
    for (const SNamedVariable& variable : missing) {
      Notice(where + ": " + NoColumnFinding(rule, variable, plan.Columns, *OutputCodec));
    }
    withoutColumns += missing.empty() ? 0 : 1;
    if (analyses || !missing.empty()) continue;
    Notice(where + " is left out: " + DescribeAnalysisError(rule.GbkSentence, evaluation, *OutputCodec));
  }
  plan.Layout = LayoutOf(Options, plan);
  plan.ReportHeld = ReportsHeld(Options);
  Report = MakeReport(plan.Layout);
  Stage = EMStage::Prepared;
  return withoutColumns;
}

// The failed rows are one file in one encoding: the data files must share it.
void TBatchEngine::RefuseFailedRowsOfMixedEncodings() const {
  if (!Options.FailedRows) return;
  for (const SPlanFile& file : BatchPlan.Files) {
    if (file.Encoding == BatchPlan.Files.front().Encoding) continue;
    throw TUsageError("--failed-rows: the data files '" + BatchPlan.Files.front().Path + "' (" +
                      BatchPlan.Files.front().Encoding + ") and '" + file.Path + "' (" + file.Encoding +
                      ") differ in encoding, and the failed rows keep their bytes");
  }
}

void TBatchEngine::SetFailedRowsWriter(TWriteReport write) {
  Require(Stage != EMStage::Running && Stage != EMStage::Finished, "the failed rows' writer is given before the run");
  FailedRowsWriter = std::move(write);
}

std::string TBatchEngine::FailedRowsHeading() const {
  Require(Options.FailedRows && !OpenFiles.empty() && Stage >= EMStage::Prepared,
          "the failed rows' heading needs the option failed-rows and prepared rules, on the handle that added the data");
  const SPlanFile& first = BatchPlan.Files.front();
  return ::rulecalc::batch::FailedRowsHeading(fileno(OpenFiles.front()->File()), FirstHeaderStart, FirstHeaderEnd,
                                              BatchPlan.KeyColumn.has_value(), first.Path);
}

// Stops a run before its first row when a rule names a variable no column has.
void TBatchEngine::RefuseRulesWithoutColumns(std::size_t rules) {
  if (rules == 0) return;
  Status = 2;
  Stage = EMStage::Finished;
  throw TCannotRun("nothing was evaluated: " + std::to_string(rules) + (rules == 1 ? " rule names" : " rules name") +
                   " a variable that no column of '" + BatchPlan.Files.front().Path + "' has");
}

// The columns no rule names, the key aside (and those no rule can name,
// said already).
void TBatchEngine::NoticeUnusedColumns() {
  std::vector<bool> used(BatchPlan.Columns.size(), false);
  for (const auto& named : BatchPlan.RuleColumns) {
    for (std::size_t column : named) used[column] = true;
  }
  if (BatchPlan.KeyColumn) used[*BatchPlan.KeyColumn] = true;
  for (std::size_t i = 0; i < used.size(); ++i) {
    const SColumn& column = BatchPlan.Columns[i];
    if (used[i] || !column.Unusable.empty()) continue;
    Notice(BatchPlan.Files.front().Path + ": no rule uses the column '" + column.DataName + "'\n");
  }
}

void TBatchEngine::Check(const TShowProgress& progress) {
  Require(Stage == EMStage::Data, "a check needs the rules and at least one data file, and takes the place of a run");
  Require(!Options.Tests, "tests files are run by a test, not checked");
  Stage = EMStage::Running;
  SettleColumns(AllDeclared(BatchPlan.Columns) ? std::vector<SColumnEvidence>() : InferInOneProcess(progress));
  PrepareRules();
  NoticeUnusedColumns();
  const auto& analyses = BatchPlan.RuleAnalyses;
  Status = std::all_of(analyses.begin(), analyses.end(), [](bool analysed) { return analysed; }) ? 0 : 2;
  Stage = EMStage::Finished;
}

// ---- Tests ---------------------------------------------------------------------------

void TBatchEngine::Test() {
  Require(Stage == EMStage::Data && Options.Tests,
          "a test needs the option tests, the rules and at least one tests file, and takes the place of a run");
  Stage = EMStage::Running;
  BatchPlan.Rules = TestedRules(BatchPlan.Rules, TestLayouts);
  const std::vector<STestRow> rows = ReadTestRows();
  SettleColumns(TestEvidence(rows));
  RefuseRulesWithoutColumns(PrepareRules());
  TBatchWorker worker(BatchPlan);
  for (const STestRow& row : rows) CompareTestRow(row, worker);
  const auto& analyses = BatchPlan.RuleAnalyses;
  const bool allHeld = std::all_of(Cases.begin(), Cases.end(), [](const STestCase& test) { return test.Held; });
  if (!std::all_of(analyses.begin(), analyses.end(), [](bool analysed) { return analysed; })) {
    Status = 2;
  } else if (Cases.empty()) {
    Notice("no row of '" + BatchPlan.Files.front().Path + "' expects anything (an expect: or explain: column, "
           "a cell that is not empty)\n");
    Status = 3;
  } else {
    Status = allHeld ? 0 : 1;
  }
  Stage = EMStage::Finished;
}

// Every record of the tests files, held: tests files are examples, small
// enough to be read once for the types and once for the verdicts.
std::vector<STestRow> TBatchEngine::ReadTestRows() {
  std::vector<STestRow> rows;
  std::uint64_t number = 0;
  for (std::size_t f = 0; f < BatchPlan.Files.size(); ++f) {
    const std::unique_ptr<TCsvReader> reader = RecordsOf(f);
    STestRow row;
    row.File = f;
    while (reader->Next(row.Row.Record)) {
      row.Row.Number = ++number;
      row.Cells = SplitTestRecord(row.Row.Record, TestLayouts[f]);
      rows.push_back(row);
    }
  }
  return rows;
}

std::vector<SColumnEvidence> TBatchEngine::TestEvidence(const std::vector<STestRow>& rows) const {
  if (AllDeclared(BatchPlan.Columns)) return {};
  std::vector<SColumn> columns = BatchPlan.Columns;
  std::vector<SColumnEvidence> evidence(columns.size());
  std::vector<std::unique_ptr<TTextCodec>> codecs;
  for (const SPlanFile& file : BatchPlan.Files) codecs.push_back(std::make_unique<TTextCodec>(file.Encoding));
  std::vector<std::string> gbkValues;
  for (const STestRow& row : rows) {
    if (!RowProblem(row.Row.Record, columns, *codecs[row.File], gbkValues).empty()) continue;
    ObserveRow(gbkValues, row.Row.Number, columns, evidence, BatchPlan.Nulls,
               BatchPlan.Environment.Settings.DecimalSeparator);
  }
  return evidence;
}

// One case per rule the row expects something of; a row that cannot be
// read is one case that does not hold.
void TBatchEngine::CompareTestRow(const STestRow& row, TBatchWorker& worker) {
  const std::string& path = BatchPlan.Files[row.File].Path;
  std::vector<SEvaluation> verdicts;
  const std::string problem = worker.Verdicts(row.File, row.Row.Record, verdicts);
  if (!problem.empty()) {
    Notice(path + ":" + std::to_string(row.Row.Record.Line) + ": row " + std::to_string(row.Row.Number) +
           " skipped: " + problem + "\n");
    Cases.push_back(STestCase{row.File, row.Row.Number, row.Row.Record.Line, "", "", "", "", "skipped", problem, false});
    return;
  }
  const std::string gbkKey = BatchPlan.KeyColumn ? worker.RowValues()[*BatchPlan.KeyColumn] : std::string();
  TTextCodec data(BatchPlan.Files[row.File].Encoding);
  const std::string where = path + ":" + std::to_string(row.Row.Record.Line) + ": row " + std::to_string(row.Row.Number);
  const SRowExpectations expects = RowExpectations(row, TestLayouts[row.File], BatchPlan.Rules.size(), data, where);
  for (std::size_t rule = 0; rule < BatchPlan.Rules.size(); ++rule) {
    const std::optional<std::string>& expected = expects.Verdicts[rule];
    const std::string& gbkWanted = expects.GbkTexts[rule];
    if (!expected && gbkWanted.empty()) continue;
    const SEvaluation& verdict = verdicts[rule];
    const std::string gbkExplanation =
        OneLine(verdict.Outcome == EMOutcome::AnalysisError ? Summary.AnalysisErrors[rule] : verdict.Text);
    STestCase test{row.File, row.Row.Number, row.Row.Record.Line, OutputCodec->FromGbkShowingControls(gbkKey),
                   OutputCodec->FromGbkShowingControls(BatchPlan.Rules[rule].GbkId), expected.value_or(""),
                   OutputCodec->FromGbkShowingControls(gbkWanted), VerdictName(verdict.Outcome),
                   OutputCodec->FromGbkShowingControls(gbkExplanation), false};
    test.Held = MeetsExpectation(test.Expected, gbkWanted, test.Got, gbkExplanation);
    Cases.push_back(std::move(test));
  }
}

// ---- One process ---------------------------------------------------------------------

// The first pass: every record of every file, for the column types left open.
// The column types left open, settled as one pass over the data settles
// them: with more than one job the files are cut into blocks, scanned side
// by side and folded in file order, as on a cluster (a workbook, read
// through its sheet, is read in one pass).
std::vector<SColumnEvidence> TBatchEngine::InferColumns(std::size_t jobs, const TShowProgress& progress) {
  const bool workbook = std::any_of(BatchPlan.Files.begin(), BatchPlan.Files.end(),
                                    [](const SPlanFile& file) { return file.Workbook; });
  return jobs > 1 && !workbook ? InferInBlocks(jobs, progress) : InferInOneProcess(progress);
}

namespace {

// A byte range of a data file to scan.
struct SScanRange {
  std::size_t File = 0;
  std::uint64_t Start = 0;
  std::uint64_t Stop = 0;
};

// Every data file cut into ranges of about kBytesPerScan, at least one each.
std::vector<SScanRange> ScanRanges(const SBatchPlan& plan) {
  std::vector<SScanRange> ranges;
  for (std::size_t f = 0; f < plan.Files.size(); ++f) {
    const SPlanFile& file = plan.Files[f];
    const std::uint64_t bytes = file.Size > file.DataStart ? file.Size - file.DataStart : 0;
    const std::uint64_t pieces = std::max<std::uint64_t>(1, bytes / kBytesPerScan);
    for (std::uint64_t i = 0; i < pieces; ++i) {
      ranges.push_back(SScanRange{f, file.DataStart + bytes * i / pieces, file.DataStart + bytes * (i + 1) / pieces});
    }
  }
  return ranges;
}

}  // namespace

std::vector<SColumnEvidence> TBatchEngine::InferInBlocks(std::size_t jobs, const TShowProgress& progress) {
  const std::vector<SScanRange> ranges = ScanRanges(BatchPlan);
  const SOpenContext context{&OpenFiles};
  const std::uint64_t total = TotalBytes();
  std::vector<SBlockScan> scans;
  scans.reserve(ranges.size());
  std::uint64_t rows = 0;
  std::uint64_t bytesDone = 0;
  std::size_t next = 0;
  auto produce = [&](SScanRange& range) {
    if (next == ranges.size()) return false;
    range = ranges[next++];
    return true;
  };
  auto work = [&](const SScanRange& range, std::size_t) {
    return ScanBlock(BatchPlan, range.File, range.Start, range.Stop, OpenPlanFile, &context);
  };
  auto consume = [&](SBlockScan& scan) {
    bytesDone += scan.Stop - scan.Start;
    rows += scan.Readings[0].Rows;
    scans.push_back(std::move(scan));
    if (progress && !progress(0, bytesDone, total, rows)) throw TStopped("stopped by the progress callback");
  };
  RunOrdered<SScanRange, SBlockScan>(jobs, jobs * kChunksInFlightPerWorker, produce, work, consume);
  if (progress && !progress(0, total, total, rows)) throw TStopped("stopped by the progress callback");
  std::vector<SColumnEvidence> evidence;
  FoldInFileOrder(scans, evidence);
  return evidence;
}

std::vector<SColumnEvidence> TBatchEngine::InferInOneProcess(const TShowProgress& progress) {
  std::vector<SColumn> columns = BatchPlan.Columns;
  std::vector<SColumnEvidence> evidence(columns.size());
  std::uint64_t rows = 0;
  std::uint64_t bytesBefore = 0;
  const std::uint64_t total = TotalBytes();
  for (std::size_t f = 0; f < BatchPlan.Files.size(); ++f) {
    const SPlanFile& file = BatchPlan.Files[f];
    const std::unique_ptr<TCsvReader> records = RecordsOf(f);
    TCsvReader& reader = *records;
    TTextCodec codec(file.Encoding);
    SCsvRecord record;
    std::vector<std::string> gbkValues;
    while (reader.Next(record)) {
      ++rows;
      if (RowProblem(record, columns, codec, gbkValues).empty()) {
        ObserveRow(gbkValues, rows, columns, evidence, BatchPlan.Nulls, BatchPlan.Environment.Settings.DecimalSeparator);
      }
      if (progress && rows % kRecordsPerProgress == 0 && !progress(0, bytesBefore + reader.BytesConsumed(), total, rows)) {
        throw TStopped("stopped by the progress callback");
      }
    }
    bytesBefore += file.Size;
  }
  if (progress && !progress(0, bytesBefore, total, rows)) throw TStopped("stopped by the progress callback");
  return evidence;
}

namespace {

// Reads the next chunk of rows, numbering them on across the files.
class TChunkReader {
 public:
  using TRecordsOf = std::function<std::unique_ptr<TCsvReader>(std::size_t)>;
  TChunkReader(const SBatchPlan& plan, TRecordsOf recordsOf) : Plan(plan), RecordsOf(std::move(recordsOf)) {}

  bool Fill(SChunk& chunk) {
    chunk.Rows.resize(kRowsPerChunk);
    while (File < Plan.Files.size()) {
      Open();
      std::size_t count = 0;
      while (count < kRowsPerChunk && Reader->Next(chunk.Rows[count].Record)) chunk.Rows[count++].Number = ++RowsRead;
      if (count > 0) {
        chunk.Rows.resize(count);
        chunk.File = File;
        chunk.BytesConsumed = BytesBefore + Reader->BytesConsumed();
        return true;
      }
      BytesBefore += Plan.Files[File].Size;
      Reader.reset();
      ++File;
    }
    return false;
  }

 private:
  void Open() {
    if (!Reader) Reader = RecordsOf(File);
  }

  const SBatchPlan& Plan;
  TRecordsOf RecordsOf;
  std::size_t File = 0;
  std::unique_ptr<TCsvReader> Reader;
  std::uint64_t RowsRead = 0;
  std::uint64_t BytesBefore = 0;
};

}  // namespace

void TBatchEngine::EvaluateInOneProcess(std::size_t jobs, const TWriteReport& write, const TShowProgress& progress) {
  // Each worker is made by its own thread when that thread gets its first chunk.
  std::vector<std::unique_ptr<TBatchWorker>> workers(jobs);
  TChunkReader chunks(BatchPlan, [this](std::size_t file) { return RecordsOf(file); });
  const std::uint64_t total = TotalBytes();
  auto produce = [this, &chunks](SChunk& chunk) {
    if (!chunks.Fill(chunk)) return false;
    chunk.Descriptor = fileno(OpenFiles[chunk.File]->File());
    return true;
  };
  auto work = [this, &workers](SChunk& chunk, std::size_t worker) {
    if (!workers[worker]) workers[worker] = std::make_unique<TBatchWorker>(BatchPlan);
    return workers[worker]->Process(chunk);
  };
  auto consume = [&](SChunkResult& result) {
    const std::string bytes = TakeResult(result);
    if (!bytes.empty() && !write(bytes)) throw TStopped("stopped by the write callback");
    if (!result.FailedRows.empty() && FailedRowsWriter && !FailedRowsWriter(result.FailedRows)) throw TStopped("stopped by the write callback");
    const std::uint64_t rows = Summary.RowsEvaluated + Summary.RowsSkipped;
    if (progress && !progress(1, result.BytesConsumed, total, rows)) throw TStopped("stopped by the progress callback");
  };
  if (jobs == 1) {
    RunInline<SChunk>(produce, work, consume);
  } else {
    RunOrdered<SChunk, SChunkResult>(jobs, jobs * kChunksInFlightPerWorker, produce, work, consume);
  }
}

void TBatchEngine::Run(std::size_t jobs, const TWriteReport& write, const TShowProgress& progress) {
  Require(Stage == EMStage::Data, "a run needs the rules and at least one data file, and runs once");
  Require(jobs >= 1, "a run needs one job at least");
  Require(!Options.Tests, "tests files are run by a test, not by a run");
  Require(!Options.FailedRows || FailedRowsWriter, "a run with the option failed-rows needs their writer");
  Stage = EMStage::Running;
  SettleColumns(AllDeclared(BatchPlan.Columns) ? std::vector<SColumnEvidence>() : InferColumns(jobs, progress));
  RefuseRulesWithoutColumns(PrepareRules());
  if (Options.FailedRows && !FailedRowsWriter(FailedRowsHeading())) throw TStopped("stopped by the write callback");
  Stage = EMStage::Running;
  if (!write(Heading())) throw TStopped("stopped by the write callback");
  EvaluateInOneProcess(jobs, write, progress);
  const std::string summary = SummaryPiece();
  if (!summary.empty() && !write(summary)) throw TStopped("stopped by the write callback");
}

// Folds a chunk's or a block's result into the summary: its diagnostics
// join the run's, and its verdicts are what comes back to write (with a cap
// on the verdicts, only those below it).
std::string TBatchEngine::TakeResult(const SChunkResult& result) {
  Notices.insert(Notices.end(), result.Diagnostics.begin(), result.Diagnostics.end());
  for (std::size_t i = 0; i < result.Tallies.size() && i < Summary.Tallies.size(); ++i) {
    Summary.Tallies[i].Add(result.Tallies[i]);
  }
  Summary.RowsEvaluated += result.RowsEvaluated;
  Summary.RowsSkipped += result.RowsSkipped;
  if (XlsxSpool) {
    Summary.VerdictsShown += result.Verdicts;
    XlsxSpool->Add(result.Report, result.FailedRows);
    return {};
  }
  const std::uint64_t cap = BatchPlan.Layout.Format == EMReportFormat::Html ? kHtmlVerdictCap : 0;
  if (cap == 0 || Summary.VerdictsShown + result.Verdicts <= cap) {
    Summary.VerdictsShown += result.Verdicts;
    return result.Report;
  }
  std::size_t end = 0;
  std::uint64_t written = 0;
  while (Summary.VerdictsShown < cap && written < result.Verdicts) {
    const std::size_t lineEnd = result.Report.find('\n', end);
    if (lineEnd == std::string::npos) break;
    end = lineEnd + 1;
    ++Summary.VerdictsShown;
    ++written;
  }
  Summary.VerdictsLeftOut += result.Verdicts - written;
  return result.Report.substr(0, end);
}

std::string TBatchEngine::Heading() {
  Require(Stage == EMStage::Prepared || Stage == EMStage::Running, "the heading comes once the rules are prepared");
  Require(!HeadingGiven, "the heading comes once");
  HeadingGiven = true;
  if (BatchPlan.Layout.Format == EMReportFormat::Xlsx) {
    const SPlanFile& first = BatchPlan.Files.front();
    XlsxSpool = std::make_unique<TXlsxSpool>(
        ::rulecalc::batch::FailedRowsHeading(fileno(OpenFiles.front()->File()), FirstHeaderStart, FirstHeaderEnd,
                                             BatchPlan.KeyColumn.has_value(), first.Path),
        first.Encoding);
  }
  return Report->Heading();
}

// The report's end; the exit status and, when the format keeps the summary
// out of the report, the summary for standard error.
std::string TBatchEngine::SummaryPiece() {
  Summary.Thresholds = CheckThresholds(Thresholds, Summary);
  std::string summary = Report->Summary(BatchPlan.Rules, Summary);
  if (summary.empty()) SummaryForStandardError = TextSummary(BatchPlan.Rules, Summary, BatchPlan.Layout);
  if (XlsxSpool) summary = XlsxSpool->Workbook(BatchPlan.Rules, Summary);
  if (Summary.RowsEvaluated == 0) {
    Notice("no row of '" + BatchPlan.Files.front().Path + "' was evaluated" +
           (Summary.RowsSkipped > 0 ? " (every row was skipped)\n" : " (it has no rows)\n"));
    Status = 3;
  } else if (Summary.AnyRuleError()) {
    Status = 2;
  } else {
    Status = Summary.AnyThresholdCrossed() ? 1 : 0;
  }
  Stage = EMStage::Finished;
  return summary;
}

// ---- Blocks -----------------------------------------------------------------------------

std::uint64_t TBatchEngine::PlanFingerprint() const {
  if (ReceivedFingerprint) return *ReceivedFingerprint;
  const std::pair<int, std::size_t> state(static_cast<int>(Stage), BatchPlan.Files.size());
  if (!OwnFingerprint || OwnFingerprint->first != state) OwnFingerprint.emplace(state, Fingerprint(Plan()));
  return OwnFingerprint->second;
}

std::string TBatchEngine::Plan() const {
  Require(!BatchPlan.Files.empty(), "a plan needs the rules and at least one data file");
  Require(!Options.Tests, "tests files are run in one process, not in blocks");
  const SBatchPlan& plan = BatchPlan;
  TByteWriter out;
  const SEngineOptions& o = Options;
  out.U8(static_cast<std::uint8_t>(o.Format));
  for (bool flag : {o.All, o.FailedOnly, o.ShowValues, o.Bom, o.RawCells, o.FreshCalculators, o.FailedRows}) out.Flag(flag);
  for (const std::string* text : {&o.Key, &o.DataEncoding, &o.RulesEncoding, &o.OutputEncoding, &o.DateOrder,
                                  &o.DateSeparator, &RulesPath, &RulesFileDateOrder, &RulesFileDateSeparator}) {
    out.Text(*text);
  }
  WriteStrings(out, o.NullValues);
  WriteSettings(out, plan.Environment);
  out.U8(static_cast<std::uint8_t>(plan.Language));
  out.U64(plan.Rules.size());
  for (const SRule& rule : plan.Rules) {
    for (const std::string* text : {&rule.Id, &rule.GbkId, &rule.GbkDescription, &rule.GbkSentence}) out.Text(*text);
    out.U64(rule.Line);
  }
  out.U64(plan.Files.size());
  for (const SPlanFile& file : plan.Files) {
    out.Text(file.Path);
    out.Text(file.Encoding);
    for (std::uint64_t value : {file.DataStart, file.Size, file.HeaderLines}) out.U64(value);
    out.Flag(file.Workbook);
    out.Text(file.Sheet);
    out.U64(file.HeaderRow);
  }
  out.U64(plan.Columns.size());
  for (const SColumn& column : plan.Columns) WriteColumn(out, column);
  const bool prepared = Stage == EMStage::Prepared || Stage == EMStage::Finished;
  out.Flag(prepared);
  if (!prepared) return out.Sealed(EMByteStringKind::Plan);
  out.Flag(plan.KeyColumn.has_value());
  out.U64(plan.KeyColumn.value_or(0));
  for (std::size_t i = 0; i < plan.Rules.size(); ++i) {
    out.Flag(plan.RuleAnalyses[i]);
    out.U64(plan.RuleSentence[i]);
    out.U64(plan.RuleCodeSize[i]);
    out.U64(plan.RuleColumns[i].size());
    for (std::size_t column : plan.RuleColumns[i]) out.U64(column);
  }
  return out.Sealed(EMByteStringKind::Plan);
}

std::unique_ptr<TBatchEngine> TBatchEngine::FromPlan(const char* bytes, std::size_t length) {
  TByteReader in(bytes, length, EMByteStringKind::Plan);
  auto engine = std::make_unique<TBatchEngine>();
  SEngineOptions& o = engine->Options;
  const std::uint8_t format = in.U8();
  if (format > static_cast<std::uint8_t>(EMReportFormat::Xlsx)) throw TForeignBytes("a plan with a bad format");
  o.Format = static_cast<EMReportFormat>(format);
  for (bool* flag : {&o.All, &o.FailedOnly, &o.ShowValues, &o.Bom, &o.RawCells, &o.FreshCalculators, &o.FailedRows}) {
    *flag = in.Flag();
  }
  for (std::string* text : {&o.Key, &o.DataEncoding, &o.RulesEncoding, &o.OutputEncoding, &o.DateOrder,
                            &o.DateSeparator, &engine->RulesPath, &engine->RulesFileDateOrder,
                            &engine->RulesFileDateSeparator}) {
    *text = in.Text();
  }
  o.NullValues = ReadStrings(in);
  engine->OutputCodec = std::make_unique<TTextCodec>(o.OutputEncoding);
  SBatchPlan& plan = engine->BatchPlan;
  plan.Environment = ReadSettings(in);
  plan.Language = ReadLanguage(in);
  plan.Nulls = NullTextsOf(o, *engine->OutputCodec);
  plan.FreshCalculators = o.FreshCalculators;
  plan.FailedRows = o.FailedRows || o.Format == EMReportFormat::Xlsx;
  plan.Rules.resize(in.Count(40));
  for (SRule& rule : plan.Rules) {
    for (std::string* text : {&rule.Id, &rule.GbkId, &rule.GbkDescription, &rule.GbkSentence}) *text = in.Text();
    rule.Line = in.U64();
  }
  plan.Files.resize(in.Count(40));
  for (SPlanFile& file : plan.Files) {
    file.Path = in.Text();
    file.Encoding = in.Text();
    for (std::uint64_t* value : {&file.DataStart, &file.Size, &file.HeaderLines}) *value = in.U64();
    file.Workbook = in.Flag();
    file.Sheet = in.Text();
    file.HeaderRow = in.U64();
    if (file.DataStart > file.Size && file.Size != 0) throw TForeignBytes("a plan whose file does not add up");
  }
  if (plan.Files.empty()) throw TForeignBytes("a plan without data files");
  for (const SPlanFile& file : plan.Files) CheckEncoding(file.Encoding);
  plan.Columns.resize(in.Count(8));
  for (SColumn& column : plan.Columns) column = ReadColumn(in);
  engine->Stage = EMStage::Data;
  if (in.Flag()) {
    const bool keyed = in.Flag();
    const std::size_t key = in.Index(std::max<std::size_t>(plan.Columns.size(), 1));
    if (keyed) {
      if (plan.Columns.empty()) throw TForeignBytes("a plan with a bad key");
      plan.KeyColumn = key;
    }
    for (std::size_t i = 0; i < plan.Rules.size(); ++i) {
      plan.RuleAnalyses.push_back(in.Flag());
      const std::size_t sentence = in.Index(i + 1);
      if (plan.Rules[sentence].GbkSentence != plan.Rules[i].GbkSentence) throw TForeignBytes("a plan with a bad rule");
      plan.RuleSentence.push_back(sentence);
      plan.RuleCodeSize.push_back(static_cast<std::size_t>(std::min<std::uint64_t>(in.U64(), 1u << 24)));
      std::vector<std::size_t> named(in.Count(8));
      for (std::size_t& column : named) column = in.Index(plan.Columns.size());
      plan.RuleColumns.push_back(std::move(named));
    }
    plan.Layout = LayoutOf(o, plan);
    plan.ReportHeld = ReportsHeld(o);
    engine->Stage = EMStage::Prepared;
  }
  in.End();
  engine->ReceivedFingerprint = Fingerprint(std::string_view(bytes, length));
  return engine;
}

std::string TBatchEngine::Scan(std::size_t file, std::uint64_t start, std::uint64_t stop) {
  Require(Stage != EMStage::Options && Stage != EMStage::Rules, "a scan needs a plan or data files");
  Require(file < BatchPlan.Files.size(), "there is no data file of that number");
  const SOpenContext context{&OpenFiles};
  const SBlockScan scan = ScanBlock(BatchPlan, file, start, stop, OpenPlanFile, &context);
  TByteWriter out;
  out.U64(PlanFingerprint());
  WriteScan(out, scan);
  return out.Sealed(EMByteStringKind::Scan);
}

void TBatchEngine::FoldScans(const std::vector<std::string_view>& scans) {
  Require(Stage == EMStage::Data && !ReceivedFingerprint, "the scans are folded once, on the handle that added the data");
  const std::uint64_t fingerprint = PlanFingerprint();
  std::vector<SBlockScan> read;
  read.reserve(scans.size());
  for (std::string_view bytes : scans) {
    TByteReader in(bytes.data(), bytes.size(), EMByteStringKind::Scan);
    if (in.U64() != fingerprint) throw TForeignBytes("a scan of another plan");
    read.push_back(ReadScan(in, BatchPlan));
  }
  std::vector<SColumnEvidence> evidence;
  Blocks = FoldInFileOrder(read, evidence);
  SettleColumns(evidence);
  Stage = EMStage::Folded;
}

// The scans of every block of every file, in file order: where each block's
// first record starts (inside a quoted field or not), its first row and
// line, and the evidence of all of them, each part's rows numbered on.
std::vector<SSettledBlock> TBatchEngine::FoldInFileOrder(const std::vector<SBlockScan>& scans,
                                                         std::vector<SColumnEvidence>& evidence) const {
  std::vector<SSettledBlock> blocks;
  evidence.assign(BatchPlan.Columns.size(), SColumnEvidence());
  std::uint64_t rowsBefore = 0;
  std::size_t next = 0;
  for (std::size_t f = 0; f < BatchPlan.Files.size(); ++f) {
    const SPlanFile& file = BatchPlan.Files[f];
    std::uint64_t at = file.DataStart;
    std::uint64_t lines = file.HeaderLines;
    bool inside = false;
    for (; next < scans.size() && scans[next].File == f; ++next) {
      const SBlockScan& scan = scans[next];
      if (scan.Start != at) throw TBadCall("the scans do not follow each other through '" + file.Path + "'");
      const SReading& reading = scan.Readings[inside ? 1 : 0];
      blocks.push_back(SSettledBlock{f, scan.Start, scan.Stop, inside, rowsBefore + 1, lines});
      for (std::size_t i = 0; i < evidence.size(); ++i) evidence[i].Append(reading.Evidence[i], rowsBefore);
      rowsBefore += reading.Rows;
      lines += scan.Newlines;
      inside = reading.EndsInside;
      at = scan.Stop;
    }
    if (at < file.Size) throw TBadCall("the scans do not reach the end of '" + file.Path + "'");
  }
  if (next != scans.size()) throw TBadCall("the scans are not in file order");
  return blocks;
}

void TBatchEngine::Prepare() {
  Require(Stage == EMStage::Folded, "the rules are prepared once the scans are folded");
  RefuseRulesWithoutColumns(PrepareRules());
}

std::string TBatchEngine::Block(std::size_t index) const {
  Require(Stage == EMStage::Prepared || Stage == EMStage::Finished, "blocks are given once the rules are prepared");
  Require(index < Blocks.size(), "there is no block of that number");
  const SSettledBlock& block = Blocks[index];
  TByteWriter out;
  out.U64(PlanFingerprint());
  out.U64(index);
  out.U64(block.File);
  out.U64(block.Start);
  out.U64(block.Stop);
  out.Flag(block.Inside);
  out.U64(block.FirstRow);
  out.U64(block.LinesBefore);
  return out.Sealed(EMByteStringKind::Block);
}

std::string TBatchEngine::Evaluate(const char* bytes, std::size_t length) {
  Require(Stage == EMStage::Prepared || Stage == EMStage::Finished, "blocks are evaluated on a prepared plan");
  TByteReader in(bytes, length, EMByteStringKind::Block);
  const std::uint64_t fingerprint = in.U64();
  if (fingerprint != PlanFingerprint()) throw TForeignBytes("a block of another plan");
  const std::uint64_t index = in.U64();
  SSettledBlock block;
  block.File = in.Index(BatchPlan.Files.size());
  block.Start = in.U64();
  block.Stop = in.U64();
  block.Inside = in.Flag();
  block.FirstRow = in.U64();
  block.LinesBefore = in.U64();
  in.End();
  const SPlanFile& file = BatchPlan.Files[block.File];
  if (block.Start < file.DataStart || block.Stop < block.Start) throw TForeignBytes("a block that does not fit its file");

  SChunkResult result;
  result.Tallies.resize(BatchPlan.Rules.size());
  // The empty blocks after a workbook's one are not worth reading its sheet again.
  if (!file.Workbook || block.Start < block.Stop) EvaluateBlock(block, result);
  TByteWriter out;
  out.U64(fingerprint);
  out.U64(index);
  out.Text(result.Report);
  out.Text(result.FailedRows);
  WriteStrings(out, result.Diagnostics);
  out.U64(result.Tallies.size());
  for (const SRuleTally& tally : result.Tallies) WriteTally(out, tally);
  for (std::uint64_t value : {result.Verdicts, result.RowsEvaluated, result.RowsSkipped}) out.U64(value);
  return out.Sealed(EMByteStringKind::Part);
}

void TBatchEngine::EvaluateBlock(const SSettledBlock& block, SChunkResult& result) {
  const SPlanFile& file = BatchPlan.Files[block.File];
  const SOpenContext context{&OpenFiles};
  TOwnedFile data = OpenPlanFile(BatchPlan, block.File, &context);
  SeekOrFail(data.get(), block.Start, file.Path);
  TCsvReader reader(data.get(), SCsvWindow{block.Start, block.Stop, block.LinesBefore, block.Inside});
  TBatchWorker worker(BatchPlan);
  SChunk chunk;
  chunk.File = block.File;
  chunk.Descriptor = fileno(data.get());
  std::uint64_t number = block.FirstRow;
  for (bool more = true; more;) {
    chunk.Rows.resize(kRowsPerChunk);
    std::size_t count = 0;
    while (count < kRowsPerChunk && (more = reader.Next(chunk.Rows[count].Record))) chunk.Rows[count++].Number = number++;
    chunk.Rows.resize(count);
    chunk.BytesConsumed = reader.BytesConsumed();
    if (count > 0) result.Append(worker.Process(chunk));
  }
}

std::string TBatchEngine::Take(const char* bytes, std::size_t length) {
  Require(Stage == EMStage::Prepared && HeadingGiven && !ReceivedFingerprint,
          "parts are taken after the heading, on the handle that prepared the plan");
  TByteReader in(bytes, length, EMByteStringKind::Part);
  if (in.U64() != PlanFingerprint()) throw TForeignBytes("a part of another plan");
  if (in.U64() != PartsTaken) throw TBadCall("parts are taken in file order, block " + std::to_string(PartsTaken) + " next");
  SChunkResult result;
  result.Report = in.Text();
  result.FailedRows = in.Text();
  result.Diagnostics = ReadStrings(in);
  result.Tallies.resize(in.Count(32));
  if (result.Tallies.size() != BatchPlan.Rules.size()) throw TForeignBytes("a part with another number of rules");
  for (SRuleTally& tally : result.Tallies) tally = ReadTally(in);
  for (std::uint64_t* value : {&result.Verdicts, &result.RowsEvaluated, &result.RowsSkipped}) *value = in.U64();
  in.End();
  ++PartsTaken;
  TakenFailedRows = std::move(result.FailedRows);
  return TakeResult(result);
}

std::string TBatchEngine::NotesCsv() const {
  Require(Stage == EMStage::Finished && Report, "the notes come once the run is finished");
  return ::rulecalc::batch::NotesCsv(BatchPlan.Rules, Summary, BatchPlan.Layout);
}

std::string TBatchEngine::Finish() {
  Require(Stage == EMStage::Prepared && HeadingGiven && !ReceivedFingerprint, "the report ends after its heading");
  Require(PartsTaken == Blocks.size(), "the report ends once every block's part is taken");
  return SummaryPiece();
}

}  // namespace rulecalc::batch
