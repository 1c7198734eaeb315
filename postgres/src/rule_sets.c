/*
 * Rule sets: many rules over one row, the row taken apart once. A set is
 * the library's rule set over the columns of one row type, built once per
 * session for each list of names and sentences, settings and row type, and
 * kept, the least recently used closed first beyond RC_MAX_RULE_SETS sets
 * or rulecalc.cache_bytes of memory (the set in use stays, whatever it
 * takes). Per row, each column a rule names is set once, then one call runs
 * every rule.
 */
#include "rulecalc_pg.h"

#include "catalog/pg_type.h"
#include "common/hashfn.h"
#include "utils/array.h"
#include "utils/builtins.h"
#include "utils/memutils.h"

#define RC_MAX_RULE_SETS 16

typedef struct RcSetMember
{
	text	   *name;			/* NULL for a NULL name */
	long		index;			/* in the library's set; -1 for a NULL sentence */
	bool		compiled;
} RcSetMember;

/* A column the rules read, and its variable's slot. */
typedef struct RcSetInput
{
	int			column;
	long		slot;
} RcSetInput;

/* The bytes that tell one set from another: the two arrays as the server
 * holds them and the row's signature. */
typedef struct RcSetKey
{
	const char *names;			/* NULL for a NULL array of names */
	size_t		names_length;
	const char *sentences;
	size_t		sentences_length;
	const char *signature;
	size_t		signature_length;
} RcSetKey;

struct RcRuleSet
{
	RcLruNode	node;			/* first: see RcLruNode */
	MemoryContext memory;		/* holds the set and its texts */
	uint32		hash;
	RcSettings	settings;
	RcSetKey	key;
	rulecalc_rules *rules;
	int			nmembers;
	RcSetMember *members;
	int			ninputs;
	RcSetInput *inputs;
	uint8	   *statuses;
	size_t		cost;			/* memory it takes, roughly, in bytes */
};

/* What a call site keeps: the set it used last, while no set has been
 * closed since. */
typedef struct RcSetSite
{
	RcRuleSet  *set;
	uint64		closings;
} RcSetSite;

static RcLru sets_used = {NULL, NULL, 0};
static size_t set_bytes = 0;
static uint64 closings = 0;

static void
close_set(RcRuleSet *set)
{
	rc_lru_unlink(&sets_used, &set->node);
	set_bytes -= set->cost;
	closings++;
	rulecalc_rules_close(set->rules);
	MemoryContextDelete(set->memory);
}

void
rc_close_rule_sets(void)
{
	while (sets_used.oldest)
		close_set((RcRuleSet *) sets_used.oldest);
}

static uint32
key_hash(const RcSetKey *key, const RcSettings *settings)
{
	uint32		hash = key->names ? hash_bytes((const unsigned char *) key->names, (int) key->names_length) : 0;

	hash = hash_combine(hash, hash_bytes((const unsigned char *) key->sentences, (int) key->sentences_length));
	hash = hash_combine(hash, hash_bytes((const unsigned char *) key->signature, (int) key->signature_length));
	hash = hash_combine(hash, (uint32) settings->date_order * 131 + (unsigned char) settings->date_separator);
	hash = hash_combine(hash, (uint32) settings->current_year);
	return hash_combine(hash, (uint32) settings->language);
}

static bool
same_bytes(const char *a, size_t a_length, const char *b, size_t b_length)
{
	if (a == NULL || b == NULL)
		return a == b;
	return a_length == b_length && memcmp(a, b, a_length) == 0;
}

static bool
set_matches(const RcRuleSet *set, const RcSetKey *key, const RcSettings *settings)
{
	return set->settings.date_order == settings->date_order &&
		set->settings.date_separator == settings->date_separator &&
		set->settings.current_year == settings->current_year &&
		set->settings.language == settings->language &&
		same_bytes(set->key.sentences, set->key.sentences_length, key->sentences, key->sentences_length) &&
		same_bytes(set->key.names, set->key.names_length, key->names, key->names_length) &&
		same_bytes(set->key.signature, set->key.signature_length, key->signature, key->signature_length);
}

static RcRuleSet *
find_set(const RcSetKey *key, const RcSettings *settings, uint32 hash)
{
	for (RcLruNode *node = sets_used.newest; node; node = node->older)
	{
		RcRuleSet  *set = (RcRuleSet *) node;

		if (set->hash != hash || !set_matches(set, key, settings))
			continue;
		rc_lru_touch(&sets_used, node);
		return set;
	}
	return NULL;
}

static const char *
copy_bytes(MemoryContext memory, const char *bytes, size_t length)
{
	char	   *copy;

	if (bytes == NULL)
		return NULL;
	copy = MemoryContextAlloc(memory, length + 1);
	memcpy(copy, bytes, length);
	copy[length] = '\0';
	return copy;
}

/* ---- the arrays ---- */

static void
check_one_dimension(ArrayType *array, const char *what)
{
	if (ARR_NDIM(array) > 1)
		ereport(ERROR,
				(errcode(ERRCODE_ARRAY_SUBSCRIPT_ERROR),
				 errmsg("rulecalc takes the %s as a one-dimensional array, not one of %d dimensions",
						what, ARR_NDIM(array))));
}

static int
text_elements(ArrayType *array, Datum **values, bool **nulls)
{
	int			count;

	deconstruct_array(array, TEXTOID, -1, false, TYPALIGN_INT, values, nulls, &count);
	return count;
}

/* ---- building a set ---- */

/* Closes the least recently used sets until one of this cost fits, or none
 * is left. */
static void
make_room(size_t cost)
{
	while (sets_used.oldest && (sets_used.count >= RC_MAX_RULE_SETS || set_bytes + cost > rc_cache_budget()))
		close_set((RcRuleSet *) sets_used.oldest);
}

static void
out_of_memory(void)
{
	ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory for a rulecalc rule set")));
}

static rulecalc_rules *
open_library_set(const RcSettings *settings)
{
	rulecalc_handle *calc = rulecalc_open();
	rulecalc_rules *rules;

	if (calc == NULL)
		out_of_memory();
	rc_apply_settings(calc, settings);
	rules = rulecalc_rules_open(calc);
	rulecalc_close(calc);
	if (rules == NULL)
		out_of_memory();
	return rules;
}

/* Every column with a GBK name becomes a variable of its type; a rule that
 * names a variable no column gives does not analyse. */
static long *
bind_columns(rulecalc_rules *rules, const RcLayout *layout)
{
	long	   *slots = palloc(sizeof(long) * Max(layout->ncolumns, 1));

	for (int i = 0; i < layout->ncolumns; i++)
	{
		const RcColumn *column = &layout->columns[i];

		slots[i] = column->gbk_name ? rulecalc_rules_bind(rules, column->gbk_name, column->type) : -1;
		if (column->gbk_name && slots[i] < 0)
			out_of_memory();
	}
	return slots;
}

static void
add_rules(RcRuleSet *set, char **gbk_sentences)
{
	for (int i = 0; i < set->nmembers; i++)
	{
		RcSetMember *member = &set->members[i];
		rulecalc_handle *rule;

		if (gbk_sentences[i] == NULL)
			continue;
		member->index = rulecalc_rules_add(set->rules, "", gbk_sentences[i]);
		if (member->index < 0)
			out_of_memory();
		rule = rulecalc_rules_rule(set->rules, (size_t) member->index);
		member->compiled = rulecalc_analyse(rule) != 0;
		rc_watch_interrupts(rule);
	}
}

/* The variables a compiled rule names, marked in used[column]. */
static void
mark_variables(rulecalc_handle *rule, const RcColumnIndex *columns, bool *used)
{
	const char *listing;
	const char *ambiguous = NULL;
	char	   *copy;

	rc_library_call_begins();
	listing = rulecalc_varnames(rule, NULL);
	if (rc_library_call_stopped())
		rc_raise_stop();
	copy = pstrdup(listing);
	for (char *name = strtok(copy, ";"); name; name = strtok(NULL, ";"))
	{
		int			column = rc_find_column(columns, name, &ambiguous);

		if (ambiguous)
			rc_raise_ambiguous(ambiguous);
		if (column >= 0)
			used[column] = true;
	}
}

/* The columns any rule reads, each once, with its slot. */
static void
find_inputs(RcRuleSet *set, const RcLayout *layout, const long *slots)
{
	RcColumnIndex columns = rc_index_columns(layout);
	bool	   *used = palloc0(sizeof(bool) * Max(layout->ncolumns, 1));

	for (int i = 0; i < set->nmembers; i++)
		if (set->members[i].compiled)
			mark_variables(rulecalc_rules_rule(set->rules, (size_t) set->members[i].index), &columns, used);
	set->inputs = MemoryContextAlloc(set->memory, sizeof(RcSetInput) * Max(layout->ncolumns, 1));
	set->ninputs = 0;
	for (int column = 0; column < layout->ncolumns; column++)
	{
		if (!used[column])
			continue;
		set->inputs[set->ninputs].column = column;
		set->inputs[set->ninputs++].slot = slots[column];
	}
}

/* The library's half of a set. An SQL error on the way closes what was
 * opened, so that no set is left outside the server's memory. */
static void
build_library_set(RcRuleSet *set, const RcLayout *layout, char **gbk_sentences)
{
	PG_TRY();
	{
		long	   *slots;

		set->rules = open_library_set(&set->settings);
		slots = bind_columns(set->rules, layout);
		add_rules(set, gbk_sentences);
		find_inputs(set, layout, slots);
		set->statuses = MemoryContextAllocZero(set->memory, Max(rulecalc_rules_count(set->rules), 1));
	}
	PG_CATCH();
	{
		rulecalc_rules_close(set->rules);
		MemoryContextDelete(set->memory);
		PG_RE_THROW();
	}
	PG_END_TRY();
}

/* The sentences in GBK (NULL for a NULL element), checked before anything
 * is kept, and what their analysed rules take. */
static char **
gbk_sentences_of(ArrayType *sentences, int *count, size_t *cost)
{
	Datum	   *values;
	bool	   *nulls;
	char	  **gbk;

	*count = text_elements(sentences, &values, &nulls);
	gbk = palloc0(sizeof(char *) * Max(*count, 1));
	*cost = 0;
	for (int i = 0; i < *count; i++)
	{
		text	   *sentence;

		if (nulls[i])
			continue;
		sentence = DatumGetTextPP(values[i]);
		rc_check_rule_size(VARSIZE_ANY_EXHDR(sentence));
		gbk[i] = rc_to_gbk(VARDATA_ANY(sentence), VARSIZE_ANY_EXHDR(sentence), "the rule", NULL);
		*cost += rc_rule_cost(VARSIZE_ANY_EXHDR(sentence));
	}
	return gbk;
}

static void
name_members(RcRuleSet *set, ArrayType *names)
{
	Datum	   *values = NULL;
	bool	   *nulls = NULL;
	MemoryContext old;

	if (names)
		text_elements(names, &values, &nulls);
	old = MemoryContextSwitchTo(set->memory);
	for (int i = 0; i < set->nmembers; i++)
	{
		set->members[i].index = -1;
		set->members[i].name = NULL;
		if (names && !nulls[i])
		{
			text	   *name = DatumGetTextPP(values[i]);

			set->members[i].name = cstring_to_text_with_len(VARDATA_ANY(name), VARSIZE_ANY_EXHDR(name));
		}
	}
	MemoryContextSwitchTo(old);
}

static RcRuleSet *
new_set(ArrayType *names, ArrayType *sentences, const RcLayout *layout, const RcSetKey *key,
		const RcSettings *settings, uint32 hash)
{
	int			count;
	size_t		cost;
	char	  **gbk = gbk_sentences_of(sentences, &count, &cost);
	MemoryContext memory = AllocSetContextCreate(TopMemoryContext, "rulecalc rule set", ALLOCSET_SMALL_SIZES);
	RcRuleSet  *set = MemoryContextAllocZero(memory, sizeof(RcRuleSet));

	make_room(cost);
	set->memory = memory;
	set->cost = cost;
	set->hash = hash;
	set->settings = *settings;
	set->nmembers = count;
	PG_TRY();
	{
		set->key.names = copy_bytes(memory, key->names, key->names_length);
		set->key.names_length = key->names_length;
		set->key.sentences = copy_bytes(memory, key->sentences, key->sentences_length);
		set->key.sentences_length = key->sentences_length;
		set->key.signature = copy_bytes(memory, key->signature, key->signature_length);
		set->key.signature_length = key->signature_length;
		set->members = MemoryContextAllocZero(memory, sizeof(RcSetMember) * Max(count, 1));
		name_members(set, names);
	}
	PG_CATCH();
	{
		MemoryContextDelete(memory);
		PG_RE_THROW();
	}
	PG_END_TRY();
	build_library_set(set, layout, gbk);
	return set;
}

/* ---- finding a set ---- */

static void
check_arrays(ArrayType *names, ArrayType *sentences)
{
	int			nsentences;
	int			nnames;

	check_one_dimension(sentences, "sentences");
	if (names == NULL)
		return;
	check_one_dimension(names, "names");
	nsentences = ArrayGetNItems(ARR_NDIM(sentences), ARR_DIMS(sentences));
	nnames = ArrayGetNItems(ARR_NDIM(names), ARR_DIMS(names));
	if (nnames != nsentences)
		ereport(ERROR,
				(errcode(ERRCODE_ARRAY_SUBSCRIPT_ERROR),
				 errmsg("rulecalc was given %d names and %d sentences, which do not pair up", nnames, nsentences),
				 errhint("Pass one name per sentence, in the same order, or NULL for no names.")));
}

static RcSetSite *
set_site(FunctionCallInfo fcinfo)
{
	RcCallSite *site = rc_call_site(fcinfo);

	if (site->set == NULL)
		site->set = MemoryContextAllocZero(fcinfo->flinfo->fn_mcxt, sizeof(RcSetSite));
	return (RcSetSite *) site->set;
}


RcRuleSet *
rc_rule_set(FunctionCallInfo fcinfo, ArrayType *names, ArrayType *sentences, const RcLayout *layout)
{
	RcSetSite  *site = set_site(fcinfo);
	RcSettings	settings = rc_current_settings();
	RcSetKey	key = {NULL, 0, VARDATA(sentences), VARSIZE(sentences) - VARHDRSZ,
	layout->signature, layout->signature_length};
	uint32		hash;
	RcRuleSet  *set;

	if (names)
	{
		key.names = VARDATA(names);
		key.names_length = VARSIZE(names) - VARHDRSZ;
	}
	if (site->set && site->closings == closings && set_matches(site->set, &key, &settings))
		return site->set;
	check_arrays(names, sentences);
	hash = key_hash(&key, &settings);
	set = find_set(&key, &settings, hash);
	if (set == NULL)
	{
		set = new_set(names, sentences, layout, &key, &settings, hash);
		rc_lru_link_newest(&sets_used, &set->node);
		set_bytes += set->cost;
	}
	site->set = set;
	site->closings = closings;
	return set;
}

/* ---- running a set ---- */

/* A text column straight from the row when it needs no conversion. */
static void
set_text_column(rulecalc_rules *rules, long slot, const RcColumn *column, Datum value)
{
	const char *gbk;

	if (column->kind == RC_KIND_TEXT && column->base_type != NAMEOID && column->base_type != CHAROID)
	{
		text	   *t = DatumGetTextPP(value);
		int			length = VARSIZE_ANY_EXHDR(t);

		if (rc_is_ascii(VARDATA_ANY(t), length))
		{
			rulecalc_rules_set_text(rules, slot, VARDATA_ANY(t), (size_t) length);
			return;
		}
	}
	gbk = rc_format_value(column, value);
	rulecalc_rules_set_text(rules, slot, gbk, strlen(gbk));
}

static void
set_inputs(RcRuleSet *set, RcRow *row)
{
	for (int i = 0; i < set->ninputs; i++)
	{
		const RcSetInput *input = &set->inputs[i];
		const RcColumn *column = &row->layout->columns[input->column];
		Datum		value;

		if (!rc_record_datum(row, input->column, &value))
			rulecalc_rules_set_text(set->rules, input->slot, "", 0);
		else if (column->type == RULECALC_NUMBER)
			rulecalc_rules_set_number(set->rules, input->slot, rc_column_number(column, value));
		else
			set_text_column(set->rules, input->slot, column, value);
	}
}

void
rc_run_rule_set(RcRuleSet *set, RcRow *row)
{
	set_inputs(set, row);
	rc_library_call_begins();
	rulecalc_rules_run(set->rules, set->statuses);
	if (rc_library_call_stopped())
		rc_raise_stop();
}

int
rc_rule_set_size(const RcRuleSet *set)
{
	return set->nmembers;
}

text *
rc_rule_set_name(const RcRuleSet *set, int member)
{
	return set->members[member].name;
}

static RcOutcome
outcome_of(const RcSetMember *member, uint8 status)
{
	if (!member->compiled)
		return RC_OUTCOME_ANALYSIS_ERROR;
	switch (status)
	{
		case RULECALC_HELD:
			return RC_OUTCOME_HELD;
		case RULECALC_FAILED:
			return RC_OUTCOME_FAILED;
		default:
			return RC_OUTCOME_RUNTIME_ERROR;
	}
}

bool
rc_rule_set_verdict(const RcRuleSet *set, int member, bool with_message, RcVerdict *verdict)
{
	const RcSetMember *rule = &set->members[member];
	size_t		length;
	const char *message;

	if (rule->index < 0)
		return false;
	verdict->outcome = outcome_of(rule, set->statuses[rule->index]);
	verdict->message = NULL;
	if (verdict->outcome == RC_OUTCOME_HELD || !with_message)
		return true;
	message = rulecalc_rules_text(set->rules, (size_t) rule->index, &length);
	verdict->message = rc_from_gbk(message, length);
	return true;
}
