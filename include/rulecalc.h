/*
 * rulecalc: an embeddable rule calculator.
 *
 * A host hands the library one sentence of the rule language, sets the
 * variables the sentence uses, analyses the sentence (check and compile) and
 * runs it. Running yields true or false; when false, GetRuntimeError explains
 * which clause failed and which variables it involves.
 *
 * All texts are NUL-terminated GBK byte strings; lengths and positions count
 * bytes. The ten functions share one global state (one tokeniser, one
 * analyser, one virtual machine, one result buffer): call them from one
 * thread at a time. For independent calculators see the handle functions at
 * the end of this header.
 *
 * Calling order for one rule:
 *   1. ClearMemory();
 *   2. SetVarValue(name, value, type) for every variable the sentence uses;
 *   3. SetSentence(sentence);
 *   4. optionally GetTokens(), GetNumbers(), GetVarnames();
 *   5. Analyse(); on false, GetAnalyseError() tells why;
 *   6. Run(); GetRuntimeError() gives the run-time error or the explanation
 *      of a false result.
 *
 * Every one of the ten that returns text returns the address of one shared
 * 2048-byte result buffer owned by the library. The text stays valid until
 * the next call of a text-returning function; it holds at most 2047 bytes and
 * is always NUL-terminated. The host never frees it.
 */
#ifndef RULECALC_H
#define RULECALC_H

#define RULECALC_VERSION_MAJOR 1
#define RULECALC_VERSION_MINOR 1
#define RULECALC_VERSION_PATCH 0
#define RULECALC_VERSION_STRING "1.1.0"

#include <stddef.h>
#include <stdint.h>

#ifndef __cplusplus
#include <stdbool.h>
#endif

/* SetSentence and SetVarValue use the standard calling convention on 32-bit
 * Windows (the callee removes 4 and 12 bytes of arguments). The handle
 * functions below use the C calling convention there (the caller removes the
 * arguments). Elsewhere both macros are empty. */
#if defined(_WIN32) && !defined(_WIN64)
#define RULECALC_STDCALL __stdcall
#define RULECALC_CDECL __cdecl
#else
#define RULECALC_STDCALL
#define RULECALC_CDECL
#endif
#if defined(_WIN32)
#define RULECALC_API
#elif defined(RULECALC_BUILDING_LIBRARY)
#define RULECALC_API __attribute__((visibility("default")))
#else
#define RULECALC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Copies the sentence (up to its NUL) and rewinds the tokeniser to its start.
 * Variables, code, and both error texts keep their contents. A null pointer
 * counts as the empty sentence. */
RULECALC_API void RULECALC_STDCALL SetSentence(const char *sentence);

/* Every token of the sentence, each followed by ";". Rewinds the tokeniser.
 * Returns the shared result buffer. */
RULECALC_API const char *GetTokens(void);

/* Every number literal of the sentence, each followed by ";". Rewinds the
 * tokeniser. Returns the shared result buffer. */
RULECALC_API const char *GetNumbers(void);

/* The distinct variable names in order of first appearance (letter case
 * ignored), joined by ";". Rewinds the tokeniser. Returns the shared result
 * buffer. */
RULECALC_API const char *GetVarnames(void);

/* Empties the compiled code, the labels, the variables, the registers, the
 * stacks and the run-time text. Keeps the sentence and the analysis error. */
RULECALC_API void ClearMemory(void);

/* Inserts or replaces a variable. type: 0 numeric (numbers and dates),
 * 1 text. An empty numeric value stands for the null number. Names are
 * compared with ASCII letters folded to capitals. Null pointers count as
 * empty texts. */
RULECALC_API void RULECALC_STDCALL SetVarValue(const char *name, const char *value,
                                               int32_t type);

/* Compiles the statement that follows the tokeniser's current position and
 * appends its code. Returns true when a statement was compiled. */
RULECALC_API bool Analyse(void);

/* The message of the last failed analysis (never cleared; empty if none
 * failed). Returns the shared result buffer. */
RULECALC_API const char *GetAnalyseError(void);

/* Runs the compiled code. Returns true when the sentence holds or there is no
 * code; false when it does not hold or a run-time error stopped it. */
RULECALC_API bool Run(void);

/* The run-time error message, or the explanation of a false result.
 * Returns the shared result buffer. */
RULECALC_API const char *GetRuntimeError(void);

/* ------------------------------------------------------------------------
 * Handles: independent calculators.
 *
 * A handle is one complete calculator with its own sentence, variables,
 * code, settings and texts; it shares nothing with the ten functions above
 * nor with other handles. Different handles may be used on different threads
 * at the same time; one handle is used by one thread at a time.
 *
 * Texts in are NUL-terminated GBK; a null pointer counts as "". Texts out are
 * whole (no length limit), NUL-terminated, with their byte length stored
 * through `length` when it is not null. The handle owns them: a returned
 * pointer stays valid until the next call on the same handle (or its close).
 *
 * A null handle never crashes: functions returning text return "" (length
 * 0), rulecalc_analyse returns 0, rulecalc_run and rulecalc_run_rows return
 * RULECALC_RUNTIME_ERROR, the settings return -1, rulecalc_warning_count
 * returns 0 and rulecalc_warning returns NULL, rulecalc_note_count returns 0
 * and rulecalc_set_notes and rulecalc_note -1, rulecalc_bind_variable,
 * rulecalc_set_number and rulecalc_set_text -1; the others do nothing.
 *
 * In C the handle type is `rulecalc`. In C++ that name is the library's
 * namespace, so the same type is spelled `rulecalc::Handle`; `rulecalc_handle`
 * names it in both languages.
 * ---------------------------------------------------------------------- */
#ifdef __cplusplus
}
namespace rulecalc {
struct Handle;
}
typedef rulecalc::Handle rulecalc_handle;
extern "C" {
#else
typedef struct rulecalc rulecalc;
typedef rulecalc rulecalc_handle;
#endif

typedef enum rulecalc_status {
  RULECALC_HELD = 0,         /* the sentence holds (or there is no code to run) */
  RULECALC_FAILED = 1,       /* it does not hold: rulecalc_runtime_error explains why */
  RULECALC_RUNTIME_ERROR = 2 /* a run-time error stopped it (also: null handle) */
} rulecalc_status;

typedef enum rulecalc_type { RULECALC_NUMBER = 0, RULECALC_TEXT = 1 } rulecalc_type;

typedef enum rulecalc_date_order {
  RULECALC_DATE_MDY = 0,
  RULECALC_DATE_DMY = 1,
  RULECALC_DATE_YMD = 2
} rulecalc_date_order;

/* "1.1.0": the library's version, a static text. */
RULECALC_API const char *RULECALC_CDECL rulecalc_version(void);

/* A new calculator with the platform's regional settings and clock; NULL only
 * when memory runs out. */
RULECALC_API rulecalc_handle *RULECALC_CDECL rulecalc_open(void);

/* Frees the calculator and every text it returned. NULL is a no-op. */
RULECALC_API void RULECALC_CDECL rulecalc_close(rulecalc_handle *calc);

/* As SetSentence. */
RULECALC_API void RULECALC_CDECL rulecalc_set_sentence(rulecalc_handle *calc, const char *sentence);

/* As GetTokens, GetNumbers and GetVarnames (each rewinds the tokeniser). */
RULECALC_API const char *RULECALC_CDECL rulecalc_tokens(rulecalc_handle *calc, size_t *length);
RULECALC_API const char *RULECALC_CDECL rulecalc_numbers(rulecalc_handle *calc, size_t *length);
RULECALC_API const char *RULECALC_CDECL rulecalc_varnames(rulecalc_handle *calc, size_t *length);

/* As ClearMemory. The settings stay. */
RULECALC_API void RULECALC_CDECL rulecalc_clear(rulecalc_handle *calc);

/* As SetVarValue; type is a rulecalc_type (other codes are kept and read as
 * numbers, which rulecalc_warning reports). */
RULECALC_API void RULECALC_CDECL rulecalc_set_variable(rulecalc_handle *calc, const char *name,
                                                       const char *value, int32_t type);

/* Variable slots: a host that sets the same variables before many runs
 * finds each by name once and then sets it by its slot, and may give a
 * number as a number (nothing to write or read as text).
 *
 * rulecalc_bind_variable returns the slot of the variable of that name (ASCII
 * letters folded as SetVarValue folds them), inserting it with an empty value
 * of that type (a rulecalc_type, kept as rulecalc_set_variable keeps it) when
 * there is none; an existing variable keeps its type and value. -1 for a null
 * handle, a null name, or when memory runs out. A slot is the variable's until
 * rulecalc_clear: bind again after it (an old slot then names whatever
 * variable holds its place, or none). rulecalc_set_variable on the same name
 * sets the same variable.
 *
 * rulecalc_set_number gives the variable a finite number: the calculator
 * takes it as it is wherever it reads the value as a number, as if it had
 * read a text of it. Where the value is read as text (a text variable, a
 * number used as text), it shows as the shortest text that reads back as
 * the number, with the decimal separator: whole numbers as their digits
 * ("12", "-3"), others as "12.5" or "1e-20", and 0.0000001 (the null number)
 * as "0.0000001". A missing value is the host's to give: an empty text
 * through rulecalc_set_text (in a numeric variable the null number) or the
 * null number itself. Returns 0, or -1 (nothing changed) for a null handle,
 * a slot not bound, or a value that is not finite (NaN, infinities).
 *
 * rulecalc_set_text gives the variable the text of `length` bytes at
 * `bytes`, as rulecalc_set_variable gives its value: the text ends at the
 * first NUL byte within the length, as every text of the library does (a
 * null pointer with length 0 is ""). An empty text in a numeric variable is
 * the null number. Returns 0, or -1 (nothing changed) for a null handle, a
 * slot not bound, a null pointer with a length, or when memory runs out. */
RULECALC_API long RULECALC_CDECL rulecalc_bind_variable(rulecalc_handle *calc, const char *name, int32_t type);
RULECALC_API int RULECALC_CDECL rulecalc_set_number(rulecalc_handle *calc, long slot, double value);
RULECALC_API int RULECALC_CDECL rulecalc_set_text(rulecalc_handle *calc, long slot, const char *bytes,
                                                  size_t length);

/* As Analyse: 1 when a statement was compiled, 0 when not. */
RULECALC_API int RULECALC_CDECL rulecalc_analyse(rulecalc_handle *calc);

/* As GetAnalyseError. */
RULECALC_API const char *RULECALC_CDECL rulecalc_analyse_error(rulecalc_handle *calc, size_t *length);

/* As Run, telling a false result from a run-time error, and starting from a
 * clean machine: the run-time text is emptied and the registers and both
 * stack counts are reset first (Run keeps what the last run left: its
 * explanations add to the text until a true AND or OR, its stack counts
 * stay). The variables, the code, the labels and the settings are kept. So a
 * handle analysed once and run again with its variables replaced through
 * rulecalc_set_variable gives, for each run, the status and text of a
 * calculator cleared, given the same variables and sentence, and analysed:
 * compile once, run many. */
RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_run(rulecalc_handle *calc);

/* As GetRuntimeError: the explanation after RULECALC_FAILED, the error after
 * RULECALC_RUNTIME_ERROR, "" after RULECALC_HELD. */
RULECALC_API const char *RULECALC_CDECL rulecalc_runtime_error(rulecalc_handle *calc, size_t *length);

/* Runs the analysed code once for each row of a table, in one call: per row
 * the `columns` variables are set (names[c], the row's value, types[c], as
 * rulecalc_set_variable sets them) and the code run as rulecalc_run runs it.
 * values holds rows * columns texts, row after row; a null entry counts as "".
 * statuses[r] receives row r's rulecalc_status. The variables keep the last
 * row's values afterwards.
 * Returns the worst status met: RULECALC_HELD when every row held (or there
 * are no rows), RULECALC_FAILED when some did not hold and none stopped with
 * a run-time error, else RULECALC_RUNTIME_ERROR. The same, with every status
 * set to RULECALC_RUNTIME_ERROR, when the call cannot be made: a null handle,
 * a null array the table needs, or memory running out. */
RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_run_rows(rulecalc_handle *calc, size_t rows, size_t columns,
                                                             const char *const *names, const int32_t *types,
                                                             const char *const *values, uint8_t *statuses);

/* The run-time text of row `row` of the last rulecalc_run_rows: the
 * explanation or the error of a row that did not hold, "" for a row that
 * held and for a row out of range. Valid until the next call on the handle. */
RULECALC_API const char *RULECALC_CDECL rulecalc_row_text(rulecalc_handle *calc, size_t row, size_t *length);

/* Settings of this calculator (the date order and separator that TODATE and
 * TOCHAR use, and the year taken as the current one). Defaults: the
 * platform's regional settings and clock, as for the ten functions above.
 * They survive rulecalc_clear. Each returns 0 on success, -1 for a null
 * handle or an invalid value (then nothing changes).
 *   order: one of rulecalc_date_order; reorders the short date picture.
 *   separator: a printable ASCII character that is neither a letter, a digit
 *     nor white space.
 *   year: 1 to 9999, or 0 for the host clock again. */
RULECALC_API int RULECALC_CDECL rulecalc_set_date_order(rulecalc_handle *calc, rulecalc_date_order order);
RULECALC_API int RULECALC_CDECL rulecalc_set_date_separator(rulecalc_handle *calc, char separator);
RULECALC_API int RULECALC_CDECL rulecalc_set_current_year(rulecalc_handle *calc, int year);

/* The language this calculator reads, from the next rulecalc_analyse on.
 * CLASSIC (the default, and the ten functions above always) is the rule
 * language as it has always been. EXTENDED adds bracketed conditions, NOT,
 * IN, IS EMPTY and the functions TRIM, UPPER, LOWER, REPLACE, TONUMBER,
 * ROUND, ABS, MOD, LENGTHC, SUBSTRC and FINDSTRC; every classic sentence means
 * the same there (code, results, explanations), except that the new keywords
 * are no variable names. It survives rulecalc_clear. Returns 0, or -1 for a
 * null handle or an unknown language (then nothing changes). */
typedef enum rulecalc_language {
  RULECALC_LANGUAGE_CLASSIC = 0,
  RULECALC_LANGUAGE_EXTENDED = 1
} rulecalc_language;
/* language: a rulecalc_language value, as an int so that any value a host
 * passes can be refused. */
RULECALC_API int RULECALC_CDECL rulecalc_set_language(rulecalc_handle *calc, int language);

/* Warnings of the last rulecalc_analyse, none when it failed: places where
 * the sentence mixes types and the result means something other than it
 * reads (a text compared with a number, arithmetic on a text, || on a number,
 * a variable whose type code is neither 0 nor 1) or orders two texts with
 * < <= > >=, which compares them byte by byte ("12,345.00" < "9.00"). They change nothing in the
 * analysis. rulecalc_warning returns the message (GBK) and stores the byte
 * position in the sentence through `position` when not null; NULL when index
 * is out of range. */
RULECALC_API size_t RULECALC_CDECL rulecalc_warning_count(rulecalc_handle *calc);
RULECALC_API const char *RULECALC_CDECL rulecalc_warning(rulecalc_handle *calc, size_t index,
                                                         int32_t *position, size_t *length);

/* ------------------------------------------------------------------------
 * Interrupting a long call.
 *
 * A host that must be able to stop a calculator at any moment (a query being
 * cancelled, a deadline) gives it a check. During rulecalc_analyse, the
 * listings (rulecalc_tokens, rulecalc_numbers, rulecalc_varnames),
 * rulecalc_run and rulecalc_run_rows, the calculator calls check(data) every
 * 1024 steps (tokens read, instructions run), on the calling thread. When it
 * returns non-zero the call ends at once:
 *   - rulecalc_analyse returns 0 and rulecalc_analyse_error gives the
 *     library's message for an interrupted call (GBK for "the calculation
 *     was interrupted by its caller!"); the code compiled so far stays, so
 *     clear the handle (rulecalc_clear) before analysing again;
 *   - rulecalc_run returns RULECALC_RUNTIME_ERROR with the same text from
 *     rulecalc_runtime_error (rulecalc_run_rows: the row that was running and
 *     every later row); the handle runs normally afterwards;
 *   - a listing returns "" (length 0).
 * The check must return normally: it may read flags, but neither throw nor
 * jump out of the library (longjmp). A host whose way to stop is a jump
 * (an SQL error, say) has the check set a flag of its own and makes the jump
 * itself once the call has returned. Without a check (the default, or a null
 * check) nothing is asked and nothing changes.
 * Returns 0; -1 for a null handle.
 * ---------------------------------------------------------------------- */
typedef int(RULECALC_CDECL *rulecalc_interrupt_check)(void *data);

RULECALC_API int RULECALC_CDECL rulecalc_set_interrupt(rulecalc_handle *calc, rulecalc_interrupt_check check,
                                                       void *data);

/* ------------------------------------------------------------------------
 * Failed clauses.
 * ---------------------------------------------------------------------- */
/* The failed clauses of the explanation of the last run (rulecalc_run, or
 * the last row of rulecalc_run_rows), in the order the explanation gives
 * them; none when the run held or stopped with a run-time error. They come
 * from how the explanation was made, so a ";" or "::" inside a text literal
 * is no border. rulecalc_failed_clause stores byte spans of the text that
 * rulecalc_runtime_error returns (each pointer may be null): the clause's
 * text (after its "names::", without the ";" that ends the entry) and its
 * variable names, joined by "," (empty for a THEN or ELSE branch that names
 * none; the branch's text then is the whole explanation). It returns 0, or
 * -1 for a null handle or an index out of range (nothing stored). Valid
 * until the next run or rulecalc_clear. */
RULECALC_API size_t RULECALC_CDECL rulecalc_failed_clause_count(rulecalc_handle *calc);
RULECALC_API int RULECALC_CDECL rulecalc_failed_clause(rulecalc_handle *calc, size_t index, size_t *text_start,
                                                       size_t *text_length, size_t *names_start,
                                                       size_t *names_length);

/* ------------------------------------------------------------------------
 * What the calculator read: for hosts that show it to people.
 * ---------------------------------------------------------------------- */
/* Where the last rulecalc_analyse stopped: the byte offset in the sentence
 * and the byte length of the token the analyser was at (after a failed
 * analysis the token it could not take, after a compiled statement its last
 * token), or the sentence's length and 0 when it had read every token.
 * Kept until the next rulecalc_analyse; 0 and 0 before the first. Returns 0;
 * -1 for a null handle (nothing stored). */
RULECALC_API int RULECALC_CDECL rulecalc_analysis_stop(rulecalc_handle *calc, size_t *offset, size_t *length);

/* 1 when a call on this calculator since rulecalc_open or the last
 * rulecalc_clear stopped early because memory ran out, so that its answer (0,
 * "", RULECALC_RUNTIME_ERROR, a run-time text) was a fallback rather than the
 * sentence's own; 0 otherwise and for a null handle. */
RULECALC_API int RULECALC_CDECL rulecalc_memory_ran_out(rulecalc_handle *calc);

/* Reads text as this calculator reads the value of a numeric variable (with
 * its decimal separator): blanks, a sign, digits with a separator and
 * fraction, an exponent, blanks. Returns 1 and stores the number through
 * `number` (when not null) for a number; 0 for any other text, the empty one
 * (the null number) included; -1 for a null handle or when memory ran out. */
RULECALC_API int RULECALC_CDECL rulecalc_read_number(rulecalc_handle *calc, const char *text, double *number);

/* The items of the last listing (rulecalc_tokens, rulecalc_numbers or
 * rulecalc_varnames) as byte spans of the text it returned: each token, number
 * or name without the ";" after it, whatever it holds (a text literal may hold
 * ";", the token ";" is an item of its own). None after an empty, stopped or
 * failed listing. rulecalc_listing_item returns 0, or -1 for a null handle or
 * an index out of range (nothing stored). Valid until the next listing. */
RULECALC_API size_t RULECALC_CDECL rulecalc_listing_item_count(rulecalc_handle *calc);
RULECALC_API int RULECALC_CDECL rulecalc_listing_item(rulecalc_handle *calc, size_t index, size_t *start,
                                                      size_t *length);

/* ------------------------------------------------------------------------
 * Notes: where a run fell back.
 *
 * Built-ins never fail: a value they cannot produce becomes a fallback (0,
 * the empty text), and so do a division by zero and a numeric variable
 * whose text is not a number. A calculator taking notes lists, for each
 * run, every such place: what fell back, where its call sits in the
 * sentence, the argument as the sentence writes it and the value it had.
 * Notes change no status, no text and no answer of any other function; a
 * calculator not taking notes (the default) runs exactly as before.
 * ---------------------------------------------------------------------- */
typedef enum rulecalc_note_kind {
  RULECALC_NOTE_UNREADABLE_DATE = 0,     /* TODATE of a text that is no date in the date order and separator: 0 */
  RULECALC_NOTE_DATE_OUT_OF_RANGE = 1,   /* TOCHAR of a value that is no date (years 100-9999): "" */
  RULECALC_NOTE_INVALID_DATE = 2,        /* ADDYEARS, ADDMONTHS, ADDDAYS, YEAR, MONTH, DAY, LASTDAY of no date: 0 */
  RULECALC_NOTE_DIVISION_BY_ZERO = 3,    /* "/" by 0 or by the null number: 0 */
  RULECALC_NOTE_LOG_OF_NONPOSITIVE = 4,  /* LG of 0 or less: minus infinity, or not a number */
  RULECALC_NOTE_START_OUTSIDE_TEXT = 5,  /* SUBSTR from a start outside its text: "" */
  RULECALC_NOTE_NOT_A_NUMBER = 6         /* a numeric variable whose text is neither empty nor a number: the null number */
} rulecalc_note_kind;

/* One note. The texts are NUL-terminated GBK, owned by the calculator and
 * valid until its next run, rulecalc_clear or rulecalc_close. */
typedef struct rulecalc_note_info {
  int32_t kind;          /* a rulecalc_note_kind */
  int32_t position;      /* byte offset in the sentence of the call's name, the "/" or the variable */
  const char *function;  /* "TODATE", "SUBSTR", "/", ...; "" for a variable */
  const char *argument;  /* the argument as written: the date's, SUBSTR's start, the divisor, the variable */
  const char *value;     /* the value it had: the text, or the number ("NULL" for the null number) */
  const char *message;   /* what fell back: "TODATE could not read APPLIED" */
  const char *reason;    /* why, and the fallback: "expected m/d/y with '/'" */
  const char *text;      /* the whole note: message 'value': reason (without 'value' when it is the
                          * argument as written, a number literal) */
} rulecalc_note_info;

/* on: 1 to take notes from the next run on, 0 to stop. Survives
 * rulecalc_clear. Returns 0; -1 for a null handle or another value. */
RULECALC_API int RULECALC_CDECL rulecalc_set_notes(rulecalc_handle *calc, int on);

/* The notes of the last run (rulecalc_run, or the last row of
 * rulecalc_run_rows), in the order the run met them; none when notes are
 * off. rulecalc_note fills *note (when not null) and returns 0, or -1 for a
 * null handle or an index out of range (nothing stored). */
RULECALC_API size_t RULECALC_CDECL rulecalc_note_count(rulecalc_handle *calc);
RULECALC_API int RULECALC_CDECL rulecalc_note(rulecalc_handle *calc, size_t index, rulecalc_note_info *note);

/* ----------------------------------------------------------------------
 * Rule sets: many named rules over one variable table. Each rule is
 * analysed once when added; per record the host sets each variable once
 * (by its slot) and one call runs every rule, each with its own status,
 * explanation, warnings and notes.
 *
 * rulecalc_rules_open: a new, empty set whose rules take the language, date
 * order, separator, current year and regional settings that `settings` has
 * now (NULL: those of a new calculator). NULL when memory runs out.
 * rulecalc_rules_close frees the set, its rules and every text they
 * returned; NULL is a no-op.
 *
 * rulecalc_rules_bind, rulecalc_rules_set_number and rulecalc_rules_set_text
 * are rulecalc_bind_variable, rulecalc_set_number and rulecalc_set_text on
 * the set's table, which every rule reads. Bind every variable a rule names
 * before adding the rule: its analysis reads the types bound then (as
 * Analyse reads the variables set before it).
 *
 * rulecalc_rules_add analyses `sentence` as the rule `name` and returns its
 * index (0, 1, ... in order of adding); -1 (nothing added) for a null set,
 * name or sentence, or when memory runs out. A sentence that does not
 * analyse is still added: rulecalc_rules_text gives its analysis error, and
 * every run gives it RULECALC_RUNTIME_ERROR.
 *
 * rulecalc_rules_run runs every rule as rulecalc_run runs it, from a clean
 * machine, over the variables as they are; statuses[i] (when statuses is
 * not null; room for rulecalc_rules_count entries) receives rule i's
 * rulecalc_status. Returns the worst status met (RULECALC_HELD for an empty
 * set), RULECALC_RUNTIME_ERROR for a null set.
 *
 * rulecalc_rules_text: rule index's explanation after RULECALC_FAILED, its
 * error after RULECALC_RUNTIME_ERROR, "" after RULECALC_HELD (and before any
 * run); a rule that did not analyse gives its analysis error. "" for an index
 * out of range. Valid until the next run or close.
 *
 * rulecalc_rules_rule: the rule's own calculator, for the other handle
 * functions (warnings, failed clauses, notes, listings, interrupts); NULL for
 * an index out of range. It belongs to the set: rulecalc_close,
 * rulecalc_clear and rulecalc_set_sentence leave it as it is, rulecalc_analyse
 * only answers whether it compiled, and a variable set through it is set in
 * the set's table. Valid until rulecalc_rules_close.
 *
 * A set, like a calculator, is used by one thread at a time.
 * ---------------------------------------------------------------------- */
typedef struct rulecalc_rules rulecalc_rules;

RULECALC_API rulecalc_rules *RULECALC_CDECL rulecalc_rules_open(rulecalc_handle *settings);
RULECALC_API void RULECALC_CDECL rulecalc_rules_close(rulecalc_rules *rules);
RULECALC_API long RULECALC_CDECL rulecalc_rules_bind(rulecalc_rules *rules, const char *name, int32_t type);
RULECALC_API int RULECALC_CDECL rulecalc_rules_set_number(rulecalc_rules *rules, long slot, double value);
RULECALC_API int RULECALC_CDECL rulecalc_rules_set_text(rulecalc_rules *rules, long slot, const char *bytes,
                                                        size_t length);
RULECALC_API long RULECALC_CDECL rulecalc_rules_add(rulecalc_rules *rules, const char *name,
                                                    const char *sentence);
RULECALC_API size_t RULECALC_CDECL rulecalc_rules_count(rulecalc_rules *rules);
RULECALC_API const char *RULECALC_CDECL rulecalc_rules_name(rulecalc_rules *rules, size_t index, size_t *length);
RULECALC_API rulecalc_status RULECALC_CDECL rulecalc_rules_run(rulecalc_rules *rules, uint8_t *statuses);
RULECALC_API const char *RULECALC_CDECL rulecalc_rules_text(rulecalc_rules *rules, size_t index, size_t *length);
RULECALC_API rulecalc_handle *RULECALC_CDECL rulecalc_rules_rule(rulecalc_rules *rules, size_t index);

#ifdef __cplusplus
}
#endif

#endif /* RULECALC_H */
