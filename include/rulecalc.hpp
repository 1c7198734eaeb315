/*
 * rulecalc for C++: a thin header-only layer over the handle functions of
 * rulecalc.h. A host includes this header and links only the shared library.
 *
 * One rulecalc::Calculator is one independent calculator (one handle). It is
 * move-only; moving leaves the source empty (every call on an empty
 * calculator gives the empty answer of the C function). Calculators on
 * different threads need no locking; one calculator is used by one thread at
 * a time. Texts go in as std::string_view (cut at an embedded NUL, as the C
 * functions read up to one) and come back as std::string, GBK throughout.
 * Nothing here throws except the constructor (std::bad_alloc) and the
 * std::string copies of the answers.
 */
#ifndef RULECALC_HPP
#define RULECALC_HPP

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rulecalc.h"

namespace rulecalc {

enum class Status { Held = RULECALC_HELD, Failed = RULECALC_FAILED, RuntimeError = RULECALC_RUNTIME_ERROR };

enum class ValueType : std::int32_t { Number = RULECALC_NUMBER, Text = RULECALC_TEXT };

enum class DateOrder {
  MonthDayYear = RULECALC_DATE_MDY,
  DayMonthYear = RULECALC_DATE_DMY,
  YearMonthDay = RULECALC_DATE_YMD
};

enum class Language { Classic = RULECALC_LANGUAGE_CLASSIC, Extended = RULECALC_LANGUAGE_EXTENDED };

// One failed clause of an explanation (see rulecalc_failed_clause).
struct FailedClause {
  std::string text;                    // GBK, as the explanation shows it
  std::vector<std::string> variables;  // the names it lists, in order
};

// What one run gave. explanation and failed_clauses are set when status is
// Failed, error when it is RuntimeError.
struct RunResult {
  Status status = Status::RuntimeError;
  bool held = false;
  std::string explanation;
  std::string error;
  std::vector<FailedClause> failed_clauses;
};

// A place where the sentence mixes types or orders texts (see rulecalc_warning).
struct Warning {
  std::int32_t position = 0;  // byte offset in the sentence
  std::string message;        // GBK
};

// A place where the last run fell back (see rulecalc_note); texts in GBK.
struct Note {
  rulecalc_note_kind kind = RULECALC_NOTE_NOT_A_NUMBER;
  std::int32_t position = 0;  // byte offset of the call's name, the "/" or the variable
  std::string function;       // "TODATE", "/", "" for a variable
  std::string argument;       // as the sentence writes it
  std::string value;          // the value it had
  std::string message;        // "TODATE could not read APPLIED"
  std::string reason;         // "expected m/d/y with '/'"
  std::string text;           // message 'value': reason (see rulecalc_note_info)
};

// What one analysis gave: compiled, or the error; the warnings when compiled.
struct AnalyseResult {
  bool compiled = false;
  std::string error;
  std::vector<Warning> warnings;
};

// Bytes of the sentence: where an analysis stopped (see rulecalc_analysis_stop).
struct SentenceSpan {
  std::size_t offset = 0;
  std::size_t length = 0;  // 0 at the end of the sentence
};

class Calculator {
 public:
  Calculator() : Handle_(rulecalc_open()) {
    if (Handle_ == nullptr) throw std::bad_alloc();
  }
  ~Calculator() { rulecalc_close(Handle_); }
  Calculator(Calculator&& other) noexcept : Handle_(std::exchange(other.Handle_, nullptr)) {}
  Calculator& operator=(Calculator&& other) noexcept {
    if (this != &other) {
      rulecalc_close(Handle_);
      Handle_ = std::exchange(other.Handle_, nullptr);
    }
    return *this;
  }
  Calculator(const Calculator&) = delete;
  Calculator& operator=(const Calculator&) = delete;

  static std::string_view version() noexcept { return rulecalc_version(); }

  void set_sentence(std::string_view sentence) { rulecalc_set_sentence(Handle_, std::string(sentence).c_str()); }
  void set_variable(std::string_view name, std::string_view value, ValueType type = ValueType::Number) {
    set_variable(name, value, static_cast<std::int32_t>(type));
  }
  // Any type code, as SetVarValue takes it.
  void set_variable(std::string_view name, std::string_view value, std::int32_t type) {
    rulecalc_set_variable(Handle_, std::string(name).c_str(), std::string(value).c_str(), type);
  }
  void clear() noexcept { rulecalc_clear(Handle_); }
  // Variable slots (see rulecalc_bind_variable): the slot, valid until
  // clear(); throws std::bad_alloc when memory runs out.
  long bind_variable(std::string_view name, ValueType type = ValueType::Number) {
    const long slot = rulecalc_bind_variable(Handle_, std::string(name).c_str(), static_cast<std::int32_t>(type));
    if (slot < 0) throw std::bad_alloc();
    return slot;
  }
  // False (nothing changed) for a slot not bound or a number not finite.
  bool set_number(long slot, double value) noexcept { return rulecalc_set_number(Handle_, slot, value) == 0; }
  // False (nothing changed) for a slot not bound or when memory ran out.
  bool set_text(long slot, std::string_view text) noexcept {
    return rulecalc_set_text(Handle_, slot, text.data(), text.size()) == 0;
  }

  std::string tokens() { return Text(rulecalc_tokens); }
  std::string numbers() { return Text(rulecalc_numbers); }
  std::string varnames() { return Text(rulecalc_varnames); }
  // The same listings as one text per item (see rulecalc_listing_item).
  std::vector<std::string> token_items() { return Items(rulecalc_tokens); }
  std::vector<std::string> number_items() { return Items(rulecalc_numbers); }
  std::vector<std::string> varname_items() { return Items(rulecalc_varnames); }

  AnalyseResult analyse() {
    AnalyseResult result;
    result.compiled = rulecalc_analyse(Handle_) != 0;
    if (!result.compiled) result.error = Text(rulecalc_analyse_error);
    const std::size_t count = rulecalc_warning_count(Handle_);
    for (std::size_t i = 0; i < count; ++i) {
      Warning warning;
      std::size_t length = 0;
      const char* message = rulecalc_warning(Handle_, i, &warning.position, &length);
      warning.message.assign(message, length);
      result.warnings.push_back(std::move(warning));
    }
    return result;
  }

  // Each run starts from a clean machine (see rulecalc_run): analyse once,
  // then set the variables and run for every row.
  RunResult run() {
    RunResult result;
    result.status = static_cast<Status>(rulecalc_run(Handle_));
    result.held = result.status == Status::Held;
    if (result.status == Status::Failed) result.explanation = Text(rulecalc_runtime_error);
    if (result.status == Status::RuntimeError) result.error = Text(rulecalc_runtime_error);
    if (result.status == Status::Failed) result.failed_clauses = FailedClauses(result.explanation);
    return result;
  }

  // Whether later runs list where they fell back (see rulecalc_set_notes).
  void set_notes(bool on) noexcept { rulecalc_set_notes(Handle_, on ? 1 : 0); }
  // The fallbacks of the last run, when notes are on.
  std::vector<Note> notes() const {
    std::vector<Note> notes(rulecalc_note_count(Handle_));
    for (std::size_t i = 0; i < notes.size(); ++i) {
      rulecalc_note_info info{};
      if (rulecalc_note(Handle_, i, &info) != 0) continue;
      notes[i] = Note{static_cast<rulecalc_note_kind>(info.kind), info.position, info.function, info.argument,
                      info.value, info.message, info.reason, info.text};
    }
    return notes;
  }

  // Where the last analysis stopped: the token it could not take, or the end.
  SentenceSpan analysis_stop() const noexcept {
    SentenceSpan span;
    rulecalc_analysis_stop(Handle_, &span.offset, &span.length);
    return span;
  }
  // Whether a call since the last clear gave a fallback answer for want of memory.
  bool memory_ran_out() const noexcept { return rulecalc_memory_ran_out(Handle_) == 1; }
  // Whether text reads as a number, as a numeric variable's value is read;
  // the number goes to number. Throws std::bad_alloc when memory ran out.
  bool read_number(std::string_view text, double& number) const {
    const int read = rulecalc_read_number(Handle_, std::string(text).c_str(), &number);
    if (read < 0 && Handle_ != nullptr) throw std::bad_alloc();
    return read == 1;
  }

  // Settings of this calculator; false for an invalid value (nothing changes).
  bool set_date_order(DateOrder order) noexcept {
    return rulecalc_set_date_order(Handle_, static_cast<rulecalc_date_order>(order)) == 0;
  }
  bool set_date_separator(char separator) noexcept { return rulecalc_set_date_separator(Handle_, separator) == 0; }
  bool set_current_year(int year) noexcept { return rulecalc_set_current_year(Handle_, year) == 0; }
  // The language the next analyse reads (see rulecalc_set_language).
  bool set_language(Language language) noexcept {
    return rulecalc_set_language(Handle_, static_cast<int>(language)) == 0;
  }
  // The host's check that stops a long call (see rulecalc_set_interrupt).
  bool set_interrupt(rulecalc_interrupt_check check, void* data) noexcept {
    return rulecalc_set_interrupt(Handle_, check, data) == 0;
  }

  // The C handle, for calls this class does not wrap; null once moved from.
  rulecalc_handle* handle() const noexcept { return Handle_; }

 private:
  std::string Text(const char*(RULECALC_CDECL* get)(rulecalc_handle*, std::size_t*)) {
    std::size_t length = 0;
    const char* text = get(Handle_, &length);
    return std::string(text, length);
  }

  std::vector<std::string> Items(const char*(RULECALC_CDECL* get)(rulecalc_handle*, std::size_t*)) {
    const char* listing = get(Handle_, nullptr);
    std::vector<std::string> items(rulecalc_listing_item_count(Handle_));
    for (std::size_t i = 0; i < items.size(); ++i) {
      std::size_t start = 0, length = 0;
      rulecalc_listing_item(Handle_, i, &start, &length);
      items[i].assign(listing + start, length);
    }
    return items;
  }

  std::vector<FailedClause> FailedClauses(const std::string& explanation) {
    std::vector<FailedClause> clauses(rulecalc_failed_clause_count(Handle_));
    for (std::size_t i = 0; i < clauses.size(); ++i) {
      std::size_t text_start = 0, text_length = 0, names_start = 0, names_length = 0;
      rulecalc_failed_clause(Handle_, i, &text_start, &text_length, &names_start, &names_length);
      clauses[i].text = explanation.substr(text_start, text_length);
      const std::string names = explanation.substr(names_start, names_length);
      for (std::size_t start = 0; start < names.size();) {
        const std::size_t comma = std::min(names.find(',', start), names.size());
        clauses[i].variables.push_back(names.substr(start, comma - start));
        start = comma + 1;
      }
    }
    return clauses;
  }

  rulecalc_handle* Handle_;
};

// Many named rules over one variable table (see rulecalc_rules_open): bind
// the variables, add the rules, then per record set each variable once and
// run every rule.
class RuleSet {
 public:
  RuleSet() : RuleSet(nullptr) {}
  // The rules take the language and date settings settings has now.
  explicit RuleSet(const Calculator& settings) : RuleSet(settings.handle()) {}
  ~RuleSet() { rulecalc_rules_close(Rules_); }
  RuleSet(RuleSet&& other) noexcept
      : Rules_(std::exchange(other.Rules_, nullptr)), Statuses_(std::move(other.Statuses_)) {}
  RuleSet& operator=(RuleSet&& other) noexcept {
    if (this != &other) {
      rulecalc_rules_close(Rules_);
      Rules_ = std::exchange(other.Rules_, nullptr);
      Statuses_ = std::move(other.Statuses_);
    }
    return *this;
  }
  RuleSet(const RuleSet&) = delete;
  RuleSet& operator=(const RuleSet&) = delete;

  // The variable's slot; throws std::bad_alloc when memory runs out.
  long bind_variable(std::string_view name, ValueType type = ValueType::Number) {
    const long slot = rulecalc_rules_bind(Rules_, std::string(name).c_str(), static_cast<std::int32_t>(type));
    if (slot < 0) throw std::bad_alloc();
    return slot;
  }
  bool set_number(long slot, double value) noexcept { return rulecalc_rules_set_number(Rules_, slot, value) == 0; }
  bool set_text(long slot, std::string_view text) noexcept {
    return rulecalc_rules_set_text(Rules_, slot, text.data(), text.size()) == 0;
  }
  // The rule's index, analysed against the variables bound so far (a rule
  // that does not analyse is added too: text(index) says why); throws
  // std::bad_alloc when memory runs out.
  std::size_t add(std::string_view name, std::string_view sentence) {
    const long index = rulecalc_rules_add(Rules_, std::string(name).c_str(), std::string(sentence).c_str());
    if (index < 0) throw std::bad_alloc();
    return static_cast<std::size_t>(index);
  }
  std::size_t size() const noexcept { return rulecalc_rules_count(Rules_); }
  std::string name(std::size_t index) const { return Text(rulecalc_rules_name, index); }

  // Runs every rule; the worst status met. Throws std::bad_alloc when
  // memory runs out.
  Status run() {
    Statuses_.resize(size());
    return static_cast<Status>(rulecalc_rules_run(Rules_, Statuses_.data()));
  }
  // Rule index's status in the last run.
  Status status(std::size_t index) const { return static_cast<Status>(Statuses_.at(index)); }
  // Its explanation, error or analysis error (see rulecalc_rules_text).
  std::string text(std::size_t index) const { return Text(rulecalc_rules_text, index); }
  // The rule's own calculator, owned by the set (see rulecalc_rules_rule).
  rulecalc_handle* rule(std::size_t index) const noexcept { return rulecalc_rules_rule(Rules_, index); }

  // The C set, for calls this class does not wrap; null once moved from.
  rulecalc_rules* rules() const noexcept { return Rules_; }

 private:
  explicit RuleSet(rulecalc_handle* settings) : Rules_(rulecalc_rules_open(settings)) {
    if (Rules_ == nullptr) throw std::bad_alloc();
  }
  std::string Text(const char*(RULECALC_CDECL* get)(rulecalc_rules*, std::size_t, std::size_t*),
                   std::size_t index) const {
    std::size_t length = 0;
    const char* text = get(Rules_, index, &length);
    return std::string(text, length);
  }

  rulecalc_rules* Rules_;
  std::vector<std::uint8_t> Statuses_;
};

}  // namespace rulecalc

#endif /* RULECALC_HPP */
