/*
 * rulecalc batch engine: every rule of a rules file against every record of
 * CSV data, with the reports of the rulecalc tool.
 *
 * The engine is its own library, librulecalc_batch, beside librulecalc (the
 * calculator). The calculator stays what it is for every embedder: the ten
 * functions and the handles, the standard library and the platform only,
 * the same sources as the 32-bit Windows DLL. The engine adds what a batch
 * needs and a calculator does not: files, encodings (iconv), CSV, reports
 * and threads. The rulecalc tool, the Python package and rulecalc-dask are
 * front-ends over this header.
 *
 * Texts. Paths are bytes as the system takes them. Messages, diagnostics,
 * rule ids and the report are in the output encoding (the "output-encoding"
 * option, UTF-8 by default; JSON lines are always UTF-8). Texts returned by
 * a function are owned by the handle and stay valid until the next call on
 * the same handle (or its free); their byte length is stored through
 * `length` when it is not null, and they are NUL-terminated.
 *
 * Errors. Every function that can fail returns a rulecalc_batch_status; on
 * anything but RULECALC_BATCH_OK, rulecalc_batch_message gives one line that
 * says what and where (file, line, column, value), without a program name
 * and without a line break. No exception and no long jump leaves the engine.
 * A null handle gives RULECALC_BATCH_BAD_CALL (texts: "", counts: 0).
 *
 * Threads. One handle is used by one thread at a time; different handles
 * may be used at the same time. rulecalc_batch_run starts worker threads of
 * its own.
 *
 * Two ways to run:
 *
 *   In one process (what `rulecalc batch` does):
 *     b = rulecalc_batch_new();
 *     rulecalc_batch_set_option(b, "format", "csv"); ...
 *     rulecalc_batch_read_rules(b, "rules.rules");
 *     rulecalc_batch_add_data(b, "data.csv");
 *     rulecalc_batch_run(b, jobs, write, progress, host);
 *     status = rulecalc_batch_exit_status(b);
 *     rulecalc_batch_free(b);
 *
 *   In blocks, anywhere (what rulecalc-dask does): a block is a byte range of
 *   a data file. The client plans blocks by byte offsets; each block is
 *   scanned (anywhere), the client folds the scans in file order (which
 *   settles where each block's first record starts, its row numbers and the
 *   types of the columns left to infer) and prepares the rules; the plan goes
 *   to the workers, each block is evaluated (anywhere, in any order) into a
 *   part, and the client takes the parts in file order. The parts'
 *   reports concatenated in file order, after the heading and before the
 *   summary, are byte for byte the report of one pass over the data:
 *
 *     client                              worker (any process)
 *     ------                              --------------------
 *     new, set_option, read_rules,
 *     add_data (each file, in order)
 *     plan = rulecalc_batch_plan()  --->  w = rulecalc_batch_from_plan(plan)
 *                                         scan = rulecalc_batch_scan(w, file, start, stop)
 *     rulecalc_batch_fold_scans(scans) <---
 *     rulecalc_batch_prepare()
 *     plan = rulecalc_batch_plan()  --->  w = rulecalc_batch_from_plan(plan)
 *     block = rulecalc_batch_block(i) -->  part = rulecalc_batch_evaluate(w, block)
 *     rulecalc_batch_heading()
 *     rulecalc_batch_take(part) <-------   (in file order)
 *     rulecalc_batch_finish()
 *     rulecalc_batch_exit_status()
 *
 *   Plans, scans, blocks and parts are opaque byte strings: copy them out,
 *   move them between processes as they are, and hand them back only to a
 *   handle of the same library version (anything else is refused with
 *   RULECALC_BATCH_BAD_CALL, never read).
 */
#ifndef RULECALC_BATCH_H
#define RULECALC_BATCH_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define RULECALC_BATCH_API
#elif defined(RULECALC_BUILDING_BATCH)
#define RULECALC_BATCH_API __attribute__((visibility("default")))
#else
#define RULECALC_BATCH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct rulecalc_batch rulecalc_batch;

typedef enum rulecalc_batch_status {
  RULECALC_BATCH_OK = 0,
  RULECALC_BATCH_UNUSABLE = 1, /* unusable input: an option's value, the rules file, a header, a text the
                                  encodings cannot convert; the tool's status 64 */
  RULECALC_BATCH_READ_ERROR = 2, /* a file could not be opened or read (also 64 in the tool) */
  RULECALC_BATCH_OUT_OF_MEMORY = 3, /* memory ran out; the handle may only be freed (the tool's 71) */
  RULECALC_BATCH_STOPPED = 4,   /* a write or progress callback asked to stop */
  RULECALC_BATCH_BAD_CALL = 5,  /* a null handle or argument, a call out of order, a foreign byte string */
  RULECALC_BATCH_CANNOT_RUN = 6 /* a rule names a variable no column has: nothing was evaluated, the
                                   findings are in the diagnostics; the tool's status 2 */
} rulecalc_batch_status;

/* A new engine with the default options; NULL only when memory runs out. */
RULECALC_BATCH_API rulecalc_batch *rulecalc_batch_new(void);
RULECALC_BATCH_API void rulecalc_batch_free(rulecalc_batch *batch);

/* The message of the last call that did not return RULECALC_BATCH_OK. */
RULECALC_BATCH_API const char *rulecalc_batch_message(rulecalc_batch *batch, size_t *length);

/* ---- Options: set before rulecalc_batch_read_rules. ----------------------
 * Names and values are those of the tool's long options, without "--":
 *   "format"           text (default), csv, jsonl, html, xlsx (a workbook, the
 *                      report's bytes all at its end; the summary is then text
 *                      for standard error, as for csv)
 *   "all"              "1": text and html report true verdicts too
 *   "failed-only"      "1": leave out the true verdicts
 *   "key"              the column that names each record
 *   "show-values"      "1": add the failing clause's variables and values
 *   "null-values"      comma-separated texts that mean an empty value
 *   "bom"              "1": start a CSV report with a UTF-8 byte-order mark
 *   "raw-cells"        "1": CSV cells that look like formulas as they are
 *   "data-encoding"    of every data file; "" detects (default)
 *   "rules-encoding"   of the rules file; "" detects (default)
 *   "output-encoding"  of messages and reports; default UTF-8
 *   "date-order"       ymd, mdy, dmy; "" the rules file's, else the locale's
 *   "date-separator"   one character; "" the rules file's, else the locale's
 *   "fresh-calculators" "1": a new analysis per row and rule (the reference path)
 *   "fail-on"          error: the run fails (exit status 1) when a verdict was
 *                      an error; failed: when a verdict was false; "" never
 *   "max-failed"       RULE=N or RULE=P%: the run fails when rule RULE failed
 *                      more than N of its rows, or more than P% of them (P from
 *                      0 to 100, up to four decimals); once per rule, each call
 *                      adds one (over the rules file's @max-failed for that
 *                      rule), "" forgets them; RULE is checked when the rules
 *                      are read
 *   "failed-rows"      "1": gather the records that need attention (see Failed rows)
 *   "tests"            "1": the data files are tests files (see Rule tests)
 *   "header-row"       N: a data file's header is its line N (from 1), the lines
 *                      before it are left out; "" the rules file's, else 1
 *   "skip-rows"        N: the N records after the header are no data; "" the
 *                      rules file's, else 0. Rows count the data records from 1
 *   "sheet"            NAME (UTF-8): the sheet of a workbook data file to read;
 *                      "" the rules file's @sheet, else the first sheet
 *   "language"         classic, extended: the rule language of every calculator
 *                      of the run; "" the rules file's @language, else classic
 * Flags take "1" or "0". An unknown name or a bad value is
 * RULECALC_BATCH_UNUSABLE with the message the tool gives for it.
 * Thresholds (fail-on, max-failed, @max-failed) are decided from the whole
 * run's tallies when the report ends, on the handle that read the rules
 * (in blocks: the client, at rulecalc_batch_finish); every summary marks
 * each one crossed or within. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_set_option(rulecalc_batch *batch, const char *name,
                                                                  const char *value);

/* ---- Rules. --------------------------------------------------------------
 * Reads a rules file (its encoding detected or the option's):
 *   # a comment, anywhere outside a text literal, to the end of the line
 *   @date-order ymd|mdy|dmy
 *   @date-separator C
 *   @max-failed RULE N      (or P%: as the "max-failed" option; RULE may hold blanks)
 *   @column DATA NAME       the rules name the data's column DATA (which may hold blanks) by NAME
 *   @header-row N           as the "header-row" option, which wins
 *   @skip-rows N            as the "skip-rows" option, which wins
 *   @sheet NAME             as the "sheet" option, which wins
 *   @language classic|extended  as the "language" option, which wins; once,
 *                           before the first rule
 *   id: sentence;
 *   id "description": sentence
 *       that runs over several lines;
 * Errors name the file, line and column. rulecalc_batch_read_rules_text
 * reads the same from memory; path is then only the name in messages. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_read_rules(rulecalc_batch *batch, const char *path);
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_read_rules_text(rulecalc_batch *batch, const char *text,
                                                                       size_t length, const char *path);

/* The rules read, in file order: the id and description (output encoding),
 * the sentence (GBK, up to and with its ';'), the line it starts on. Any
 * pointer may be null. Returns -1 when index is out of range. */
RULECALC_BATCH_API size_t rulecalc_batch_rule_count(rulecalc_batch *batch);
RULECALC_BATCH_API int rulecalc_batch_rule(rulecalc_batch *batch, size_t index, const char **id,
                                           const char **description, const char **gbk_sentence, size_t *line);

/* The date reading the rules file asks for: "ymd", "mdy", "dmy" or "" and
 * one character or "". */
RULECALC_BATCH_API const char *rulecalc_batch_rules_date_order(rulecalc_batch *batch);
RULECALC_BATCH_API const char *rulecalc_batch_rules_date_separator(rulecalc_batch *batch);
/* The language its '@language' line names: "classic", "extended" or "". */
RULECALC_BATCH_API const char *rulecalc_batch_rules_language(rulecalc_batch *batch);

/* ---- Data. ---------------------------------------------------------------
 * Adds a data file ("-": standard input, copied aside first so that it can
 * be read twice): its encoding is settled (detected, or the option's; what
 * was detected is said in the diagnostics), its header read and checked.
 * Several files are one table in the order added, rows numbered on across
 * them; every file after the first must have the same columns. A workbook
 * (.xlsx, or a file that is a zip archive) is read through one sheet, cells
 * as the sheet types them (dates as day numbers), as UTF-8 CSV; on a cluster
 * it is one block. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_add_data(rulecalc_batch *batch, const char *path);

/* The data files added: the path as given, its encoding, the byte offset of
 * its first record after the header, and its size in bytes. */
RULECALC_BATCH_API size_t rulecalc_batch_file_count(rulecalc_batch *batch);
RULECALC_BATCH_API int rulecalc_batch_file(rulecalc_batch *batch, size_t index, const char **path,
                                           const char **encoding, uint64_t *data_start, uint64_t *size);

/* The columns of the header: name (the variable the rules use, in the
 * output encoding, without its type suffix: "CLAIM_AMOUNT" of a header cell
 * "理赔金额=CLAIM_AMOUNT:num" or of "@column 理赔金额 CLAIM_AMOUNT"), type (0
 * number, 1 text: declared, or inferred once the scans are folded), whether
 * it was declared, and the date reading of a ":date" column ("" for none;
 * "ymd-", "dmy." ...: order then separator; "date" for the run's own
 * reading). Returns -1 when index is out of range. */
RULECALC_BATCH_API size_t rulecalc_batch_column_count(rulecalc_batch *batch);
RULECALC_BATCH_API int rulecalc_batch_column(rulecalc_batch *batch, size_t index, const char **name, int *type,
                                             int *declared, const char **date_reading);

/* ---- One process. --------------------------------------------------------
 * Does everything: infers the column types left open (a first pass over the
 * data), checks the rules against the columns, evaluates every record with
 * up to `jobs` threads and produces the report. The report reaches write in
 * order, piece by piece (heading, verdicts, summary); write returns 0 to go
 * on, non-zero to stop (RULECALC_BATCH_STOPPED). progress, when not null,
 * is called now and then with the phase (0 reading to infer types,
 * 1 evaluating), the data bytes done, the data bytes in all and the rows
 * done; non-zero stops too. Callbacks run on the calling thread, and may
 * read and clear the diagnostics gathered so far (nothing else on the
 * handle); the heading is always written, even when it is empty, unless
 * the run cannot start (RULECALC_BATCH_CANNOT_RUN: nothing is written). Diagnostics
 * (rules left out, warnings, skipped rows, columns read as text) collect as
 * they come: see rulecalc_batch_diagnostics; the text summary that goes to
 * standard error when the report format keeps it out is
 * rulecalc_batch_summary_text. */
typedef int (*rulecalc_batch_write)(void *host, const char *bytes, size_t length);
typedef int (*rulecalc_batch_progress)(void *host, int phase, uint64_t done, uint64_t total, uint64_t rows);

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_run(rulecalc_batch *batch, size_t jobs,
                                                           rulecalc_batch_write write,
                                                           rulecalc_batch_progress progress, void *host);

/* ---- Failed rows. --------------------------------------------------------
 * With the "failed-rows" option at "1", the engine also gives the records
 * that need attention (a verdict false or an error; skipped rows are in the
 * diagnostics only): each exactly as the data file holds it (its bytes,
 * encoding, quoting and line break), with three columns appended,
 * failed_key (the "key" option's field, only with a key), failed_rules and
 * failed_explanations (one line per failed rule, in the rules' order, the
 * explanation on one line; in the data file's encoding). The heading is the
 * first data file's header as written, with the appended names. A record
 * that ends its file without a line break gets the one before it. The data
 * files must share one encoding (else RULECALC_BATCH_UNUSABLE when the rules
 * are prepared).
 *
 * In one process, rulecalc_batch_failed_rows_writer, called before the run,
 * says where they go: the heading, then the rows in file order, on the
 * calling thread (non-zero from write stops as for the report); a run with
 * the option and no writer is RULECALC_BATCH_BAD_CALL. In blocks, each part
 * carries its block's failed rows: on the client, rulecalc_batch_failed_rows_heading
 * gives the heading (once the rules are prepared) and
 * rulecalc_batch_failed_rows_taken the failed rows of the part that
 * rulecalc_batch_take took last; in file order, they are byte for byte those
 * of one pass. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_failed_rows_writer(rulecalc_batch *batch,
                                                                          rulecalc_batch_write write, void *host);
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_failed_rows_heading(rulecalc_batch *batch, const char **bytes,
                                                                           size_t *length);
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_failed_rows_taken(rulecalc_batch *batch, const char **bytes,
                                                                         size_t *length);

/* ---- Checks before a run. ------------------------------------------------
 * Takes the place of a run: settles the column types as a run does (the
 * types declared, the others inferred by a pass over the data; progress as
 * for a run, phase 0) and analyses every rule against them without
 * evaluating a record. The findings go to the diagnostics as a run would
 * give them, with the sentence and carets under the place: the analysis's
 * warnings, the rules that do not analyse, each variable no column has
 * ("no column NOBODY; did you mean NOBODI?" when a column's name is near,
 * letter case ignored), and the columns no rule uses (the "key" option's
 * aside). rulecalc_batch_exit_status then gives 0 when every rule can run
 * on this data, 2 when one cannot. A run given the same rules and data
 * stops before its first record on a variable no column has, with the same
 * findings, and returns RULECALC_BATCH_CANNOT_RUN (rulecalc_batch_prepare
 * too, for blocks); rules that fail analysis otherwise are left out of a
 * run, which goes on. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_check(rulecalc_batch *batch, rulecalc_batch_progress progress,
                                                             void *host);

/* ---- Rule tests. ---------------------------------------------------------
 * With the "tests" option at "1", each data file holds examples: its columns
 * are the variables (typed headers as for a run), and beside them, for any
 * rule, a column "expect:RULE" (true, false or error, letter case ignored;
 * an empty cell is not checked) and a column "explain:RULE" (a text the
 * rule's explanation must contain, both on one line as the text report
 * shows them; empty: not checked). Such a column that
 * names no rule of the rules file is RULECALC_BATCH_UNUSABLE at
 * rulecalc_batch_add_data, naming it; a cell of another verdict is
 * RULECALC_BATCH_UNUSABLE at rulecalc_batch_test, naming its line and column.
 *
 * rulecalc_batch_test takes the place of a run, in this process, for the
 * rules some tests file expects something of (the others are left aside,
 * and rulecalc_batch_rule gives the tested ones from then on): it settles
 * the column types as a run does, analyses those rules (the findings go to the
 * diagnostics; a rule naming a variable no column has stops it with
 * RULECALC_BATCH_CANNOT_RUN) and evaluates every row, comparing each of its
 * expectations. rulecalc_batch_exit_status then gives 0 when every
 * expectation held, 1 when one did not, 2 when a rule did not analyse, 3 when
 * no row expects anything. Runs, checks and plans are refused in this mode.
 *
 * Each expectation compared is a case, in file order and, within a row, in
 * the rules' order; a row that cannot be read (said in the diagnostics) is
 * one case that does not hold, with got "skipped" and rule "". Texts are in
 * the output encoding with control characters as \xNN, and stay valid until
 * the handle is freed. */
typedef struct rulecalc_batch_test_case {
  size_t file;              /* the tests file, by the order it was added */
  uint64_t row;             /* numbered on across the files, from 1 */
  uint64_t line;            /* of the file, where the row starts */
  const char *key;          /* the "key" option's column, "" without one */
  const char *rule;         /* the rule's id */
  const char *expected;     /* "true", "false", "error"; "" when only the explanation is checked */
  const char *wanted_text;  /* what the explanation must contain; "" when not checked */
  const char *got;          /* "true", "false", "error", "not analysed" or "skipped" */
  const char *explanation;  /* the verdict's explanation or message; why a skipped row was */
  int held;                 /* 1 when the expectation held */
} rulecalc_batch_test_case;

RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_test(rulecalc_batch *batch);
RULECALC_BATCH_API size_t rulecalc_batch_test_case_count(rulecalc_batch *batch);
/* Fills test_case; -1 when index is out of range or test_case is null. */
RULECALC_BATCH_API int rulecalc_batch_test_case_at(rulecalc_batch *batch, size_t index,
                                                   rulecalc_batch_test_case *test_case);

/* ---- Blocks. -------------------------------------------------------------
 * The plan: the options, the rules, the files and their columns (and, once
 * prepared, the settled types): everything a worker needs. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_plan(rulecalc_batch *batch, const char **plan,
                                                            size_t *length);
/* A handle made from a plan, on any process; NULL when memory runs out or
 * the plan is not one of this library's (no diagnostics: the client had them). */
RULECALC_BATCH_API rulecalc_batch *rulecalc_batch_from_plan(const char *plan, size_t length);

/* Scans the block of file `file` that starts at the first line start at or
 * after `start` and owns the records that start before the first line start
 * at or after `stop` (the block from the file's data start begins exactly
 * there; the last record may run past stop). The scan is read under both
 * assumptions (the block starts at a record, or inside a quoted field) and
 * counts records, line breaks and, for the columns left to infer, what
 * their values are. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_scan(rulecalc_batch *batch, size_t file, uint64_t start,
                                                            uint64_t stop, const char **scan, size_t *length);

/* Folds the scans of every block of every file, in file order, on the
 * client: settles each block's start, first row and line, and the column
 * types (columns read as text though most values are numbers are said in
 * the diagnostics). */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_fold_scans(rulecalc_batch *batch, size_t count,
                                                                  const char *const *scans,
                                                                  const size_t *lengths);

/* Checks the rules against the settled columns (after fold_scans: the
 * scans settle the blocks even when every column is declared): warnings and
 * rules left out go to the diagnostics. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_prepare(rulecalc_batch *batch);

/* The settled blocks, in file order, to hand to rulecalc_batch_evaluate. */
RULECALC_BATCH_API size_t rulecalc_batch_block_count(rulecalc_batch *batch);
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_block(rulecalc_batch *batch, size_t index,
                                                             const char **block, size_t *length);

/* Evaluates a block on a handle made from the prepared plan: its report
 * part, its diagnostics (skipped rows) and its tallies, as one byte string.
 * Memory stays bounded by the block. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_evaluate(rulecalc_batch *batch, const char *block,
                                                                size_t block_length, const char **part,
                                                                size_t *length);

/* On the client, in file order: rulecalc_batch_heading gives what comes
 * before the first verdict; rulecalc_batch_take folds a part into the
 * summary and gives the bytes of the report to write for it (a report with
 * a cap on its verdicts, HTML, gives less), with its diagnostics added to
 * rulecalc_batch_diagnostics; rulecalc_batch_finish gives the report's end
 * (the summary, for the formats that hold it). */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_heading(rulecalc_batch *batch, const char **bytes,
                                                               size_t *length);
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_take(rulecalc_batch *batch, const char *part,
                                                            size_t part_length, const char **bytes,
                                                            size_t *length);
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_finish(rulecalc_batch *batch, const char **bytes,
                                                              size_t *length);

/* ---- After a run or finish. ---------------------------------------------- */

/* Diagnostics gathered since the last call, one message each (no program
 * name, a message may span lines; each ends with a line break), and then
 * forgotten. */
RULECALC_BATCH_API size_t rulecalc_batch_diagnostic_count(rulecalc_batch *batch);
RULECALC_BATCH_API const char *rulecalc_batch_diagnostic(rulecalc_batch *batch, size_t index, size_t *length);
RULECALC_BATCH_API void rulecalc_batch_clear_diagnostics(rulecalc_batch *batch);

/* The summary for standard error, when the report format keeps it out of
 * the report (CSV, JSON lines); "" otherwise. */
RULECALC_BATCH_API const char *rulecalc_batch_summary_text(rulecalc_batch *batch, size_t *length);

/* The finished run's notes as CSV in the output encoding (CRLF, a UTF-8
 * byte-order mark with the option bom): the header kind,rule,rows,first_row,message,
 * then one record per problem found before the first row (kind warning: the
 * analyser's warning on a rule; kind column: what was said of a column's type
 * or name), then one per fallback of a rule's run (kind note, with how many
 * rows and the first). The same problems are in every report format; this is
 * for a report that holds verdicts only (CSV). On the handle that read the
 * rules, after rulecalc_batch_run or rulecalc_batch_finish. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_batch_notes(rulecalc_batch *batch, const char **bytes, size_t *length);

/* The tool's exit status for the finished run, the first that applies:
 * 3 no row was evaluated (said in the diagnostics); 2 a rule did not analyse
 * or a verdict was an error (or a rule names a variable no column has:
 * RULECALC_BATCH_CANNOT_RUN); 1 a threshold was crossed; 0 otherwise. After
 * rulecalc_batch_check: 0 or 2; after rulecalc_batch_test: see Rule tests.
 * -1 before the run ends. */
RULECALC_BATCH_API int rulecalc_batch_exit_status(rulecalc_batch *batch);

/* ------------------------------------------------------------------------
 * Texts for people.
 *
 * What a front-end needs to talk to a terminal the way the tool does: the
 * conversions between an outside encoding and GBK (the calculator's), an
 * analysis error or warning shown with the sentence's line and a caret under
 * the place, names with a type suffix, and the display width of a text.
 *
 * A rulecalc_text is one converter with the texts it returned: they stay
 * valid until the next call on it (or its free), their byte length is stored
 * through `length` when not null, and they are NUL-terminated. One thread at
 * a time. A function that can fail returns a rulecalc_batch_status; on
 * anything but RULECALC_BATCH_OK, rulecalc_text_message says what (one line,
 * in the outside encoding, no program name). A null converter gives
 * RULECALC_BATCH_BAD_CALL; a conversion before rulecalc_text_open too.
 * ---------------------------------------------------------------------- */
typedef struct rulecalc_text rulecalc_text;

/* A converter without an encoding yet; NULL only when memory runs out. */
RULECALC_BATCH_API rulecalc_text *rulecalc_text_new(void);
RULECALC_BATCH_API void rulecalc_text_free(rulecalc_text *text);

/* The message of the last call that did not return RULECALC_BATCH_OK. */
RULECALC_BATCH_API const char *rulecalc_text_message(rulecalc_text *text, size_t *length);

/* Sets the outside encoding, a name the system's iconv knows ("UTF-8",
 * "GB18030", "ISO-8859-1", ...): RULECALC_BATCH_UNUSABLE ("unknown encoding
 * 'X'") when it knows none such, and for a null or empty name. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_open(rulecalc_text *text, const char *encoding);

/* The `length` bytes of `outside` in GBK, strictly: RULECALC_BATCH_UNUSABLE
 * when a byte is not valid in the outside encoding or stands for a character
 * GBK lacks, and when the text holds a NUL byte (the calculator's texts end
 * at one); the message names the text by `what` ("the sentence", "the value
 * of AGE") and the byte (counted from 1), and bad_offset (when not null)
 * receives it counted from 0. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_to_gbk(rulecalc_text *text, const char *outside,
                                                              size_t length, const char *what, const char **gbk,
                                                              size_t *gbk_length, size_t *bad_offset);

/* How rulecalc_text_from_gbk shows a text; the flags combine. */
typedef enum rulecalc_text_showing {
  RULECALC_TEXT_AS_IS = 0,    /* a character the outside encoding lacks becomes "?" */
  RULECALC_TEXT_CONTROLS = 1, /* control characters (below 0x20, 0x7F) show as \xNN; a tab between
                                 other characters stays */
  RULECALC_TEXT_BYTES = 2,    /* as CONTROLS, and a byte that cannot be converted shows as \xNN */
  RULECALC_TEXT_ONE_LINE = 4  /* first, each run of white space holding a line break becomes one blank */
} rulecalc_text_showing;

/* The `length` bytes of GBK text in the outside encoding, shown as `showing`
 * (rulecalc_text_showing flags) says: never refused for its content. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_from_gbk(rulecalc_text *text, const char *gbk, size_t length,
                                                                int showing, const char **outside,
                                                                size_t *outside_length);

/* Bytes of any ASCII-compatible encoding (GBK, UTF-8, GB18030 ...) with their
 * control characters shown as \xNN, as RULECALC_TEXT_CONTROLS shows them: for
 * messages that quote files or arguments. Needs no encoding. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_show_controls(rulecalc_text *text, const char *bytes,
                                                                     size_t length, const char **shown,
                                                                     size_t *shown_length);

/* An analysis error as the tool shows it, in the outside encoding: the
 * calculator's message after "analysis error: ", then (for a sentence of
 * several lines) "  (line N of the sentence)", the sentence's line and a
 * line of carets under the token where the analysis stopped (offset and
 * token_length as rulecalc_analysis_stop gives them), each line indented by
 * two blanks and ended by a line break:
 *     analysis error: <message>
 *       IF AGE>=18 THEN SCORE;
 *                           ^
 * The carets count the terminal columns of what comes before (a Chinese
 * character takes two, as the locale's LC_CTYPE says). */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_analysis_error(rulecalc_text *text, const char *gbk_sentence,
                                                                      size_t sentence_length,
                                                                      const char *gbk_message, size_t message_length,
                                                                      size_t offset, size_t token_length,
                                                                      const char **shown, size_t *shown_length);

/* A warning of the analysis (rulecalc_warning) in the same form, after
 * "warning: ", with one caret under the byte at `position`. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_warning(rulecalc_text *text, const char *gbk_sentence,
                                                               size_t sentence_length, const char *gbk_message,
                                                               size_t message_length, int32_t position,
                                                               const char **shown, size_t *shown_length);

/* A note of a run (rulecalc_note) in the same form, after "note: ": its
 * whole text, then the sentence's line with carets under the `length` bytes
 * at `position` (the call's name, the "/" or the variable). */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_note(rulecalc_text *text, const char *gbk_sentence,
                                                            size_t sentence_length, const char *gbk_note,
                                                            size_t note_length, int32_t position, size_t length,
                                                            const char **shown, size_t *shown_length);

/* A name with an optional type suffix, as a CSV header and the tool's
 * NAME=VALUE arguments write it: "AGE", "AGE:num", "NAME:text" (the suffix
 * after the last ':', letter case ignored, blanks around it and the name
 * trimmed). Stores the name's byte span in `written` and the type: 0 number,
 * 1 text, -1 none given. RULECALC_BATCH_UNUSABLE for an empty name or
 * another suffix. Needs no encoding. */
RULECALC_BATCH_API rulecalc_batch_status rulecalc_text_typed_name(rulecalc_text *text, const char *written,
                                                                  size_t length, size_t *name_start,
                                                                  size_t *name_length, int *type);

/* The terminal columns GBK text takes once shown with its control characters
 * as \xNN: each character as wide as the locale's LC_CTYPE says, one column
 * per byte for a character whose width it does not know. 0 for a null
 * converter. Needs no encoding. */
RULECALC_BATCH_API size_t rulecalc_text_columns(rulecalc_text *text, const char *gbk, size_t length);

/* The encoding the first bytes of a file suggest: "UTF-8" for a UTF-8
 * byte-order mark or bytes that are valid UTF-8 (a character cut at the end
 * counts as valid when `truncated` is non-zero: a prefix of a larger file),
 * else "GBK", with the offset of the first byte that is not UTF-8 stored
 * through bad_offset when not null. A static text. */
RULECALC_BATCH_API const char *rulecalc_text_guess_encoding(const char *sample, size_t length, int truncated,
                                                            size_t *bad_offset);

#ifdef __cplusplus
}
#endif

#endif /* RULECALC_BATCH_H */
