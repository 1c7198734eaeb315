// The engine's C interface: every call checks its arguments, runs inside
// one guard that turns every exception into a status and a message, and
// hands out texts the handle keeps until its next call.

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "batch/ByteStrings.h"
#include "batch/Engine.h"
#include "batch/Failures.h"
#include "rulecalc_batch.h"

using rulecalc::batch::TBadCall;
using rulecalc::batch::TBatchEngine;

struct rulecalc_batch {
  std::unique_ptr<TBatchEngine> Engine;
  std::string Message;
  std::string Bytes;        // the last byte string or report piece handed out
  std::string Texts[3];     // the last rule's or column's texts
};

namespace {

const char kEmpty[] = "";

// One line: line breaks inside a message become blanks, a last one goes.
std::string OneLineMessage(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  std::replace(message.begin(), message.end(), '\n', ' ');
  std::replace(message.begin(), message.end(), '\r', ' ');
  return message;
}

rulecalc_batch_status Failed(rulecalc_batch* batch, rulecalc_batch_status status, const char* message) {
  try {
    batch->Message = OneLineMessage(message);
  } catch (...) {
    batch->Message.clear();
  }
  return status;
}

template <typename Call>
rulecalc_batch_status Guarded(rulecalc_batch* batch, Call call) {
  using namespace rulecalc::batch;
  if (!batch || !batch->Engine) return RULECALC_BATCH_BAD_CALL;
  try {
    if (batch->Engine->IsBroken()) throw TBadCall("the batch ran out of memory before; it can only be freed");
    call(*batch->Engine);
    return RULECALC_BATCH_OK;
  } catch (const std::bad_alloc&) {
    batch->Engine->Break();
    return Failed(batch, RULECALC_BATCH_OUT_OF_MEMORY, "out of memory: the batch was stopped");
  } catch (const TMemoryError& error) {
    batch->Engine->Break();
    return Failed(batch, RULECALC_BATCH_OUT_OF_MEMORY, error.what());
  } catch (const TStopped& error) {
    return Failed(batch, RULECALC_BATCH_STOPPED, error.what());
  } catch (const TCannotRun& error) {
    return Failed(batch, RULECALC_BATCH_CANNOT_RUN, error.what());
  } catch (const TBadCall& error) {
    return Failed(batch, RULECALC_BATCH_BAD_CALL, error.what());
  } catch (const TForeignBytes& error) {
    return Failed(batch, RULECALC_BATCH_BAD_CALL, error.what());
  } catch (const TReadError& error) {
    return Failed(batch, RULECALC_BATCH_READ_ERROR, error.what());
  } catch (const std::exception& error) {
    return Failed(batch, RULECALC_BATCH_UNUSABLE, error.what());
  } catch (...) {
    return Failed(batch, RULECALC_BATCH_BAD_CALL, "an unexpected failure");
  }
}

// Hands out bytes the handle keeps.
void HandOut(rulecalc_batch* batch, std::string bytes, const char** out, size_t* length) {
  batch->Bytes = std::move(bytes);
  *out = batch->Bytes.c_str();
  if (length) *length = batch->Bytes.size();
}

rulecalc_batch_status Missing(rulecalc_batch* batch, const char* what) {
  if (!batch) return RULECALC_BATCH_BAD_CALL;
  return Failed(batch, RULECALC_BATCH_BAD_CALL, what);
}

// The host's progress callback as the engine calls it; empty when there is none.
rulecalc::batch::TShowProgress ProgressOf(rulecalc_batch_progress progress, void* host) {
  if (!progress) return {};
  return [progress, host](int phase, std::uint64_t done, std::uint64_t total, std::uint64_t rows) {
    return progress(host, phase, done, total, rows) == 0;
  };
}

// A byte string handed back by the client: refused when null.
bool Present(const char* bytes, size_t length) { return bytes != nullptr || length == 0; }

}  // namespace

extern "C" {

RULECALC_BATCH_API rulecalc_batch* rulecalc_batch_new(void) {
  try {
    auto batch = std::make_unique<rulecalc_batch>();
    batch->Engine = std::make_unique<TBatchEngine>();
    return batch.release();
  } catch (...) {
    return nullptr;
  }
}

RULECALC_BATCH_API void rulecalc_batch_free(rulecalc_batch* batch) { delete batch; }

RULECALC_BATCH_API const char* rulecalc_batch_message(rulecalc_batch* batch, size_t* length) {
  if (!batch) {
    if (length) *length = 0;
    return kEmpty;
  }
  if (length) *length = batch->Message.size();
  return batch->Message.c_str();
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_set_option(rulecalc_batch* batch, const char* name,
                                                                  const char* value) {
  if (!name || !value) return Missing(batch, "an option needs a name and a value");
  return Guarded(batch, [&](TBatchEngine& engine) { engine.SetOption(name, value); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_read_rules(rulecalc_batch* batch, const char* path) {
  if (!path) return Missing(batch, "the rules file needs a path");
  return Guarded(batch, [&](TBatchEngine& engine) { engine.ReadRules(path); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_read_rules_text(rulecalc_batch* batch, const char* text,
                                                                       size_t length, const char* path) {
  if (!Present(text, length) || !path) return Missing(batch, "the rules text needs its bytes and a name");
  return Guarded(batch, [&](TBatchEngine& engine) {
    engine.ReadRulesText(std::string_view(text ? text : kEmpty, length), path);
  });
}

RULECALC_BATCH_API size_t rulecalc_batch_rule_count(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->Rules().size() : 0;
}

RULECALC_BATCH_API int rulecalc_batch_rule(rulecalc_batch* batch, size_t index, const char** id,
                                           const char** description, const char** gbk_sentence, size_t* line) {
  if (!batch || !batch->Engine || index >= batch->Engine->Rules().size()) return -1;
  const rulecalc_batch_status status = Guarded(batch, [&](TBatchEngine& engine) {
    const auto& rule = engine.Rules()[index];
    batch->Texts[0] = engine.Output().FromGbk(rule.GbkId);
    batch->Texts[1] = engine.Output().FromGbk(rule.GbkDescription);
    batch->Texts[2] = rule.GbkSentence;
  });
  if (status != RULECALC_BATCH_OK) return -1;
  if (id) *id = batch->Texts[0].c_str();
  if (description) *description = batch->Texts[1].c_str();
  if (gbk_sentence) *gbk_sentence = batch->Texts[2].c_str();
  if (line) *line = batch->Engine->Rules()[index].Line;
  return 0;
}

RULECALC_BATCH_API const char* rulecalc_batch_rules_date_order(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->RulesDateOrder().c_str() : kEmpty;
}

RULECALC_BATCH_API const char* rulecalc_batch_rules_date_separator(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->RulesDateSeparator().c_str() : kEmpty;
}

RULECALC_BATCH_API const char* rulecalc_batch_rules_language(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->RulesLanguage().c_str() : kEmpty;
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_add_data(rulecalc_batch* batch, const char* path) {
  if (!path) return Missing(batch, "a data file needs a path");
  return Guarded(batch, [&](TBatchEngine& engine) { engine.AddData(path); });
}

RULECALC_BATCH_API size_t rulecalc_batch_file_count(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->Files().size() : 0;
}

RULECALC_BATCH_API int rulecalc_batch_file(rulecalc_batch* batch, size_t index, const char** path,
                                           const char** encoding, uint64_t* data_start, uint64_t* size) {
  if (!batch || !batch->Engine || index >= batch->Engine->Files().size()) return -1;
  const auto& file = batch->Engine->Files()[index];
  if (path) *path = file.Path.c_str();
  if (encoding) *encoding = file.Encoding.c_str();
  if (data_start) *data_start = file.DataStart;
  if (size) *size = file.Size;
  return 0;
}

RULECALC_BATCH_API size_t rulecalc_batch_column_count(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->Columns().size() : 0;
}

RULECALC_BATCH_API int rulecalc_batch_column(rulecalc_batch* batch, size_t index, const char** name, int* type,
                                             int* declared, const char** date_reading) {
  if (!batch || !batch->Engine || index >= batch->Engine->Columns().size()) return -1;
  const auto& column = batch->Engine->Columns()[index];
  const rulecalc_batch_status status = Guarded(batch, [&](TBatchEngine&) {
    batch->Texts[0].clear();
    if (!column.Date) return;
    batch->Texts[0] = column.Date->Order.empty() ? std::string("date") : column.Date->Order;
    if (column.Date->Separator != 0) batch->Texts[0] += column.Date->Separator;
  });
  if (status != RULECALC_BATCH_OK) return -1;
  if (name) *name = column.Name.c_str();
  if (type) *type = column.Type == rulecalc::batch::vtText ? 1 : 0;
  if (declared) *declared = column.Declared.has_value() ? 1 : 0;
  if (date_reading) *date_reading = batch->Texts[0].c_str();
  return 0;
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_run(rulecalc_batch* batch, size_t jobs,
                                                           rulecalc_batch_write write,
                                                           rulecalc_batch_progress progress, void* host) {
  if (!write || jobs == 0) return Missing(batch, "a run needs a write callback and one job at least");
  return Guarded(batch, [&](TBatchEngine& engine) {
    const rulecalc::batch::TWriteReport writeReport = [&](const std::string& bytes) {
      return write(host, bytes.data(), bytes.size()) == 0;
    };
    engine.Run(std::min<size_t>(jobs, 1024), writeReport, ProgressOf(progress, host));
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_failed_rows_writer(rulecalc_batch* batch,
                                                                          rulecalc_batch_write write, void* host) {
  if (!write) return Missing(batch, "the failed rows need a write callback");
  return Guarded(batch, [&](TBatchEngine& engine) {
    engine.SetFailedRowsWriter([write, host](const std::string& bytes) { return write(host, bytes.data(), bytes.size()) == 0; });
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_failed_rows_heading(rulecalc_batch* batch, const char** bytes,
                                                                           size_t* length) {
  if (!bytes) return Missing(batch, "the failed rows' heading needs somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.FailedRowsHeading(), bytes, length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_failed_rows_taken(rulecalc_batch* batch, const char** bytes,
                                                                         size_t* length) {
  if (!bytes) return Missing(batch, "the failed rows need somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.FailedRowsTaken(), bytes, length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_notes(rulecalc_batch* batch, const char** bytes, size_t* length) {
  if (!bytes) return Missing(batch, "the notes need somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.NotesCsv(), bytes, length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_check(rulecalc_batch* batch, rulecalc_batch_progress progress,
                                                             void* host) {
  return Guarded(batch, [&](TBatchEngine& engine) { engine.Check(ProgressOf(progress, host)); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_test(rulecalc_batch* batch) {
  return Guarded(batch, [&](TBatchEngine& engine) { engine.Test(); });
}

RULECALC_BATCH_API size_t rulecalc_batch_test_case_count(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->TestCases().size() : 0;
}

RULECALC_BATCH_API int rulecalc_batch_test_case_at(rulecalc_batch* batch, size_t index,
                                                   rulecalc_batch_test_case* test_case) {
  if (!batch || !batch->Engine || !test_case || index >= batch->Engine->TestCases().size()) return -1;
  const auto& test = batch->Engine->TestCases()[index];
  *test_case = rulecalc_batch_test_case{test.File,
                                        test.Row,
                                        test.Line,
                                        test.Key.c_str(),
                                        test.Rule.c_str(),
                                        test.Expected.c_str(),
                                        test.WantedText.c_str(),
                                        test.Got.c_str(),
                                        test.Explanation.c_str(),
                                        test.Held ? 1 : 0};
  return 0;
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_plan(rulecalc_batch* batch, const char** plan,
                                                            size_t* length) {
  if (!plan) return Missing(batch, "the plan needs somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.Plan(), plan, length); });
}

RULECALC_BATCH_API rulecalc_batch* rulecalc_batch_from_plan(const char* plan, size_t length) {
  if (!plan) return nullptr;
  try {
    auto batch = std::make_unique<rulecalc_batch>();
    batch->Engine = TBatchEngine::FromPlan(plan, length);
    return batch.release();
  } catch (...) {
    return nullptr;
  }
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_scan(rulecalc_batch* batch, size_t file, uint64_t start,
                                                            uint64_t stop, const char** scan, size_t* length) {
  if (!scan) return Missing(batch, "the scan needs somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.Scan(file, start, stop), scan, length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_fold_scans(rulecalc_batch* batch, size_t count,
                                                                  const char* const* scans, const size_t* lengths) {
  if (count > 0 && (!scans || !lengths)) return Missing(batch, "the scans need their bytes and lengths");
  for (size_t i = 0; i < count; ++i) {
    if (!Present(scans[i], lengths[i])) return Missing(batch, "a scan has no bytes");
  }
  return Guarded(batch, [&](TBatchEngine& engine) {
    std::vector<std::string_view> views;
    for (size_t i = 0; i < count; ++i) views.emplace_back(scans[i] ? scans[i] : kEmpty, lengths[i]);
    engine.FoldScans(views);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_prepare(rulecalc_batch* batch) {
  return Guarded(batch, [&](TBatchEngine& engine) { engine.Prepare(); });
}

RULECALC_BATCH_API size_t rulecalc_batch_block_count(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->BlockCount() : 0;
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_block(rulecalc_batch* batch, size_t index,
                                                             const char** block, size_t* length) {
  if (!block) return Missing(batch, "the block needs somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.Block(index), block, length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_evaluate(rulecalc_batch* batch, const char* block,
                                                                size_t block_length, const char** part,
                                                                size_t* length) {
  if (!part || !Present(block, block_length)) return Missing(batch, "a block needs its bytes and somewhere for its part");
  return Guarded(batch, [&](TBatchEngine& engine) {
    HandOut(batch, engine.Evaluate(block ? block : kEmpty, block_length), part, length);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_heading(rulecalc_batch* batch, const char** bytes,
                                                               size_t* length) {
  if (!bytes) return Missing(batch, "the heading needs somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.Heading(), bytes, length); });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_take(rulecalc_batch* batch, const char* part,
                                                            size_t part_length, const char** bytes, size_t* length) {
  if (!bytes || !Present(part, part_length)) return Missing(batch, "a part needs its bytes and somewhere for the report");
  return Guarded(batch, [&](TBatchEngine& engine) {
    HandOut(batch, engine.Take(part ? part : kEmpty, part_length), bytes, length);
  });
}

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_finish(rulecalc_batch* batch, const char** bytes,
                                                              size_t* length) {
  if (!bytes) return Missing(batch, "the report's end needs somewhere to go");
  return Guarded(batch, [&](TBatchEngine& engine) { HandOut(batch, engine.Finish(), bytes, length); });
}

RULECALC_BATCH_API size_t rulecalc_batch_diagnostic_count(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->Diagnostics().size() : 0;
}

RULECALC_BATCH_API const char* rulecalc_batch_diagnostic(rulecalc_batch* batch, size_t index, size_t* length) {
  if (!batch || !batch->Engine || index >= batch->Engine->Diagnostics().size()) {
    if (length) *length = 0;
    return kEmpty;
  }
  const std::string& text = batch->Engine->Diagnostics()[index];
  if (length) *length = text.size();
  return text.c_str();
}

RULECALC_BATCH_API void rulecalc_batch_clear_diagnostics(rulecalc_batch* batch) {
  if (batch && batch->Engine) batch->Engine->Diagnostics().clear();
}

RULECALC_BATCH_API const char* rulecalc_batch_summary_text(rulecalc_batch* batch, size_t* length) {
  if (!batch || !batch->Engine) {
    if (length) *length = 0;
    return kEmpty;
  }
  const std::string& text = batch->Engine->SummaryText();
  if (length) *length = text.size();
  return text.c_str();
}

RULECALC_BATCH_API int rulecalc_batch_exit_status(rulecalc_batch* batch) {
  return batch && batch->Engine ? batch->Engine->ExitStatus() : -1;
}

}  // extern "C"
