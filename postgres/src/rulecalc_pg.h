/*
 * The PostgreSQL side of rulecalc: the pieces the SQL-callable functions
 * share. Everything here is plain C over the library's handle API, so an
 * SQL error (a long jump) only ever unwinds C frames.
 */
#ifndef RULECALC_PG_H
#define RULECALC_PG_H

#include "postgres.h"

#include "access/tupdesc.h"
#include "fmgr.h"
#include "lib/stringinfo.h"
#include "nodes/pg_list.h"
#include "utils/array.h"

#include "rulecalc.h"

/* ---- settings (settings.c) ---- */

typedef struct RcSettings
{
	int			date_order;		/* rulecalc_date_order */
	char		date_separator;
	int			current_year;	/* 0: the clock */
	int			language;		/* rulecalc_language */
} RcSettings;

extern void rc_define_settings(void);
extern RcSettings rc_current_settings(void);
extern int	rc_cache_capacity(void);
extern size_t rc_cache_budget(void);

/* A rule longer than rulecalc.max_rule_bytes is an SQL error (54000). */
extern void rc_check_rule_size(size_t length);

/* ---- cancellation inside the library (interrupt.c) ---- */

/* Makes the handle's long calls stop when the query is cancelled. */
extern void rc_watch_interrupts(rulecalc_handle *calc);

/* Around each library call that may be stopped: begins, then whether it
 * was, then (when it was and the handle is in order again) the SQL error. */
extern void rc_library_call_begins(void);
extern bool rc_library_call_stopped(void);
extern void rc_raise_stop(void) pg_attribute_noreturn();

/* ---- texts between the database's encoding and GBK (gbk.c) ---- */

/* Whether every byte is ASCII and none is NUL: such a text is the same in
 * GBK, and the library reads all of it. */
extern bool rc_is_ascii(const char *text, int length);

/* The text in GBK (palloc'd, NUL-terminated), or NULL when a character has
 * no GBK form. */
extern char *rc_to_gbk_or_null(const char *text, int length);

/* The text in GBK; a character GBK lacks is an SQL error (22P05) that names
 * what the text is: kind ("column", "key", "the rule") and name (or NULL). */
extern char *rc_to_gbk(const char *text, int length, const char *kind, const char *name);

/* A GBK text from the library in the database's encoding; bytes that do not
 * convert become "?" (the library's own texts always convert). */
extern char *rc_from_gbk(const char *gbk, size_t length);

/* ---- the variables of one row (layout.c) ---- */

typedef enum RcValueKind
{
	RC_KIND_INTEGER,
	RC_KIND_FLOAT,
	RC_KIND_NUMERIC,
	RC_KIND_BOOLEAN,
	RC_KIND_DATE,
	RC_KIND_TIMESTAMP,
	RC_KIND_TIMESTAMPTZ,
	RC_KIND_TEXT,
	RC_KIND_BPCHAR,
	RC_KIND_OTHER,				/* any other type: its text output, as text */
	RC_KIND_JSON_NUMBER,
	RC_KIND_JSON_STRING,
	RC_KIND_JSON_NULL
} RcValueKind;

typedef struct RcColumn
{
	const char *sql_name;		/* in the database's encoding, for messages */
	char	   *gbk_name;		/* NULL when the name has no GBK form */
	int32		type;			/* RULECALC_NUMBER or RULECALC_TEXT */
	RcValueKind kind;
	Oid			base_type;
	Oid			output_function;	/* RC_KIND_OTHER */
} RcColumn;

typedef struct RcLayout
{
	int			ncolumns;
	RcColumn   *columns;
	char	   *signature;		/* names and types, the cache key's half */
	size_t		signature_length;
	uint32		signature_hash;
} RcLayout;

/* One row: its layout and a way to read a column as the library's value. */
typedef struct RcRow
{
	const RcLayout *layout;
	/* The GBK value of a column ("" for SQL NULL). */
	char	   *(*fetch) (struct RcRow *row, int column);
	void	   *state;
} RcRow;

extern void rc_classify_column(RcColumn *column, const char *name, Oid type);
extern void rc_finish_layout(RcLayout *layout);
extern char *rc_format_value(const RcColumn *column, Datum value);
extern char *rc_numeric_text(const RcColumn *column, Datum value);
/* The value of a numeric column (type RULECALC_NUMBER) as the number the
 * library reads from rc_format_value's text. */
extern double rc_column_number(const RcColumn *column, Datum value);
extern char *rc_column_text(const RcColumn *column, const char *data, int length);

/* What a call site keeps between rows (fn_extra). */
typedef struct RcCallSite
{
	void	   *record;			/* the layout of the last row type */
	TupleDesc	result;			/* the blessed result type */
	void	   *set;			/* the rule set used last (rule_sets.c) */
} RcCallSite;

extern RcCallSite *rc_call_site(FunctionCallInfo fcinfo);
extern RcRow *rc_empty_row(void);

/* Rows from composite values (record_vars.c) and jsonb objects (json_vars.c). */
extern RcRow *rc_record_row(FunctionCallInfo fcinfo, int argno);
extern RcRow *rc_json_row(Datum jsonb);

/* A column of a row from rc_record_row: false for SQL NULL, else true with
 * the value. The first call takes the whole tuple apart; later ones read
 * what it left. */
extern bool rc_record_datum(RcRow *row, int column, Datum *value);

/* A variable's column, looked up among many: the row's columns sorted by
 * name with ASCII letters folded to capitals, as the library compares names
 * (rule_cache.c). */
typedef struct RcFoldedName
{
	char	   *name;
	int			column;
} RcFoldedName;

typedef struct RcColumnIndex
{
	const RcLayout *layout;
	RcFoldedName *names;
	int			count;
} RcColumnIndex;

extern RcColumnIndex rc_index_columns(const RcLayout *layout);

/* The row's column of a variable; -1 when there is none. Two columns whose
 * names differ only in letter case make the name ambiguous: *ambiguous then
 * names one of them. */
extern int	rc_find_column(const RcColumnIndex *index, const char *name, const char **ambiguous);

/* The SQL error (42702) for a variable that matches two columns. */
extern void rc_raise_ambiguous(const char *column) pg_attribute_noreturn();

/* ---- the least recently used out (lru.c) ---- */

/* A thing on the list holds its node as its first member, so that a node
 * is the thing. */
typedef struct RcLruNode
{
	struct RcLruNode *newer;
	struct RcLruNode *older;
} RcLruNode;

typedef struct RcLru
{
	RcLruNode  *newest;
	RcLruNode  *oldest;
	int			count;
} RcLru;

extern void rc_lru_unlink(RcLru *list, RcLruNode *node);
extern void rc_lru_link_newest(RcLru *list, RcLruNode *node);
/* Moves node to the newest end. */
extern void rc_lru_touch(RcLru *list, RcLruNode *node);

/* ---- analysed rules, least recently used out (rule_cache.c) ---- */

typedef enum RcAnalysis
{
	RC_PENDING,					/* set up, not analysed yet */
	RC_ANALYSED,
	RC_ANALYSIS_FAILED
} RcAnalysis;

typedef struct RcEntry
{
	RcLruNode	node;			/* first: see RcLruNode */
	MemoryContext memory;		/* holds the entry and its texts */
	uint32		hash;
	RcSettings	settings;
	char	   *signature;
	size_t		signature_length;
	char	   *rule;			/* in the database's encoding */
	char	   *gbk_rule;
	size_t		rule_length;
	rulecalc_handle *calc;
	RcAnalysis	analysis;
	int			nvariables;
	char	  **variable_names; /* GBK, as the rule spells them */
	int		   *variable_columns;	/* the row's column of each */
	size_t		cost;			/* memory it takes, roughly, in bytes */
} RcEntry;

/* The entry of a rule over rows of this layout, made (not analysed) when
 * missing. */
extern RcEntry *rc_cache_entry(const char *rule, size_t rule_length, const RcLayout *layout);
/* Closes the entry (after an analysis that was stopped half-way). */
extern void rc_cache_forget(RcEntry *entry);
extern void rc_cache_usage(int *entries, size_t *bytes);
/* The memory an analysed rule of this length takes, roughly, in bytes. */
extern size_t rc_rule_cost(size_t rule_length);
extern void rc_close_all(int code, Datum arg);
extern void rc_apply_settings(rulecalc_handle *calc, const RcSettings *settings);

/* ---- one evaluation (evaluate.c) ---- */

typedef enum RcOutcome
{
	RC_OUTCOME_HELD,
	RC_OUTCOME_FAILED,
	RC_OUTCOME_RUNTIME_ERROR,
	RC_OUTCOME_ANALYSIS_ERROR
} RcOutcome;

typedef struct RcVerdict
{
	RcOutcome	outcome;
	char	   *message;		/* explanation or error; NULL when held */
} RcVerdict;

/* Analyses (once per cache entry) and, when run is true, runs the rule over
 * the row. */
extern RcEntry *rc_prepare(text *rule, RcRow *row);
extern RcVerdict rc_evaluate(text *rule, RcRow *row);
extern char *rc_analysis_message(RcEntry *entry);

/* ---- many rules over one row (rule_sets.c) ---- */

typedef struct RcRuleSet RcRuleSet;

/* The set of the sentences (with their names, or NULL) over rows of this
 * layout under the current settings: built the first time, then found
 * again. The arrays are one-dimensional, of the same length when both are
 * given, and detoasted. */
extern RcRuleSet *rc_rule_set(FunctionCallInfo fcinfo, ArrayType *names, ArrayType *sentences,
							  const RcLayout *layout);
/* Sets the row's columns the rules name, each once, and runs every rule. */
extern void rc_run_rule_set(RcRuleSet *set, RcRow *row);
extern int	rc_rule_set_size(const RcRuleSet *set);
extern text *rc_rule_set_name(const RcRuleSet *set, int member);
/* A rule's verdict after the last run, with the explanation or error when
 * asked; false for a NULL sentence. */
extern bool rc_rule_set_verdict(const RcRuleSet *set, int member, bool with_message, RcVerdict *verdict);
extern void rc_close_rule_sets(void);

/* The library's listings (tokens, variable names) of a rule, in the
 * database's encoding (listings.c). */
extern char *rc_token_listing(text *rule);
extern char *rc_varname_listing(text *rule);
extern List *rc_split_tokens(const char *listing);
extern void rc_close_lister(void);

#endif
