/*
 * Analysed rules, kept per session: one calculator handle per rule text,
 * settings and row layout, the least recently used closed first, within
 * rulecalc.cache_size entries and rulecalc.cache_bytes of memory. The
 * handles live outside the server's memory contexts; every one is closed
 * when it leaves the cache and when the session ends.
 */
#include "rulecalc_pg.h"

#include "common/hashfn.h"
#include "utils/memutils.h"

static RcLru entries_used = {NULL, NULL, 0};
static size_t cached_bytes = 0;

/*
 * What a cached rule costs, roughly. A calculator takes about 90 kB before
 * it holds a rule; a rule analysed and run takes up to about 360 bytes per
 * byte of its text (measured: dense comparisons such as "A>1OR " are the
 * worst, 180 for "A > 1 AND ", under 100 with longer texts and calls). The
 * entry's own copies of the rule and the row's signature come on top.
 */
#define RC_EMPTY_CALCULATOR_BYTES (90 * 1024)
#define RC_BYTES_PER_RULE_BYTE 360

size_t
rc_rule_cost(size_t rule_length)
{
	return RC_EMPTY_CALCULATOR_BYTES + (RC_BYTES_PER_RULE_BYTE + 3) * rule_length;
}

static size_t
entry_cost(size_t rule_length, const RcLayout *layout)
{
	return rc_rule_cost(rule_length) + layout->signature_length;
}

void
rc_cache_usage(int *entries, size_t *bytes)
{
	*entries = entries_used.count;
	*bytes = cached_bytes;
}

static void
drop_entry(RcEntry *entry)
{
	rc_lru_unlink(&entries_used, &entry->node);
	cached_bytes -= entry->cost;
	rulecalc_close(entry->calc);
	entry->calc = NULL;
	MemoryContextDelete(entry->memory);
}

void
rc_cache_forget(RcEntry *entry)
{
	drop_entry(entry);
}

void
rc_close_all(int code, Datum arg)
{
	while (entries_used.oldest)
		drop_entry((RcEntry *) entries_used.oldest);
}

static uint32
key_hash(const char *rule, size_t rule_length, const RcLayout *layout, const RcSettings *settings)
{
	uint32		hash = hash_bytes((const unsigned char *) rule, (int) rule_length);

	hash = hash_combine(hash, layout->signature_hash);
	hash = hash_combine(hash, (uint32) settings->date_order * 131 + (unsigned char) settings->date_separator);
	hash = hash_combine(hash, (uint32) settings->current_year);
	return hash_combine(hash, (uint32) settings->language);
}

static bool
entry_matches(const RcEntry *entry, uint32 hash, const char *rule, size_t rule_length,
			  const RcLayout *layout, const RcSettings *settings)
{
	return entry->hash == hash &&
		entry->rule_length == rule_length &&
		entry->signature_length == layout->signature_length &&
		entry->settings.date_order == settings->date_order &&
		entry->settings.date_separator == settings->date_separator &&
		entry->settings.current_year == settings->current_year &&
		entry->settings.language == settings->language &&
		memcmp(entry->rule, rule, rule_length) == 0 &&
		memcmp(entry->signature, layout->signature, layout->signature_length) == 0;
}

static char *
folded(const char *name)
{
	char	   *copy = pstrdup(name);

	for (char *p = copy; *p; p++)
		if (*p >= 'a' && *p <= 'z')
			*p = (char) (*p - 'a' + 'A');
	return copy;
}

static int
compare_folded(const void *a, const void *b)
{
	return strcmp(((const RcFoldedName *) a)->name, ((const RcFoldedName *) b)->name);
}

RcColumnIndex
rc_index_columns(const RcLayout *layout)
{
	RcColumnIndex index;

	index.layout = layout;
	index.names = palloc(sizeof(RcFoldedName) * Max(layout->ncolumns, 1));
	index.count = 0;
	for (int i = 0; i < layout->ncolumns; i++)
	{
		if (layout->columns[i].gbk_name == NULL)
			continue;
		index.names[index.count].name = folded(layout->columns[i].gbk_name);
		index.names[index.count++].column = i;
	}
	qsort(index.names, index.count, sizeof(RcFoldedName), compare_folded);
	return index;
}

int
rc_find_column(const RcColumnIndex *index, const char *name, const char **ambiguous)
{
	RcFoldedName key = {folded(name), -1};
	const RcFoldedName *names = index->names;
	const RcFoldedName *found = bsearch(&key, names, index->count, sizeof(RcFoldedName), compare_folded);

	if (found == NULL)
		return -1;
	if ((found > names && strcmp(found[-1].name, key.name) == 0) ||
		(found + 1 < names + index->count && strcmp(found[1].name, key.name) == 0))
		*ambiguous = index->layout->columns[found->column].sql_name;
	return found->column;
}

/* The variables of the rule, matched to the row's columns; a variable with
 * no column is left unset, for the analysis to report. */
static const char *
match_variables(RcEntry *entry, const RcLayout *layout, MemoryContext scratch)
{
	const char *names;
	const char *ambiguous = NULL;
	char	   *copy;
	int			capacity = 1;
	RcColumnIndex columns;
	MemoryContext old;

	rc_library_call_begins();
	names = rulecalc_varnames(entry->calc, NULL);
	if (rc_library_call_stopped())
	{
		drop_entry(entry);
		rc_raise_stop();
	}
	copy = MemoryContextStrdup(entry->memory, names);
	old = MemoryContextSwitchTo(scratch);

	columns = rc_index_columns(layout);
	for (const char *p = copy; *p; p++)
		capacity += (*p == ';');
	entry->variable_names = MemoryContextAlloc(entry->memory, sizeof(char *) * capacity);
	entry->variable_columns = MemoryContextAlloc(entry->memory, sizeof(int) * capacity);
	entry->nvariables = 0;
	for (char *name = strtok(copy, ";"); name && !ambiguous; name = strtok(NULL, ";"))
	{
		int			column = rc_find_column(&columns, name, &ambiguous);

		if (column < 0)
			continue;
		entry->variable_names[entry->nvariables] = name;
		entry->variable_columns[entry->nvariables++] = column;
	}
	MemoryContextSwitchTo(old);
	return ambiguous;
}

void
rc_raise_ambiguous(const char *column)
{
	ereport(ERROR,
			(errcode(ERRCODE_AMBIGUOUS_COLUMN),
			 errmsg("variable \"%s\" of the rule matches more than one column", column),
			 errdetail("Variable names ignore letter case; rename one of the columns.")));
}

void
rc_apply_settings(rulecalc_handle *calc, const RcSettings *settings)
{
	rulecalc_set_date_order(calc, (rulecalc_date_order) settings->date_order);
	rulecalc_set_date_separator(calc, settings->date_separator);
	rulecalc_set_current_year(calc, settings->current_year);
	rulecalc_set_language(calc, settings->language);
}

static RcEntry *
new_entry(uint32 hash, const char *rule, size_t rule_length, const RcLayout *layout, const RcSettings *settings)
{
	MemoryContext memory = AllocSetContextCreate(TopMemoryContext, "rulecalc rule", ALLOCSET_SMALL_SIZES);
	RcEntry    *entry = MemoryContextAllocZero(memory, sizeof(RcEntry));

	entry->memory = memory;
	entry->hash = hash;
	entry->settings = *settings;
	entry->rule = MemoryContextAlloc(memory, rule_length + 1);
	memcpy(entry->rule, rule, rule_length);
	entry->rule[rule_length] = '\0';
	entry->rule_length = rule_length;
	entry->signature = MemoryContextAlloc(memory, layout->signature_length + 1);
	memcpy(entry->signature, layout->signature, layout->signature_length + 1);
	entry->signature_length = layout->signature_length;
	entry->analysis = RC_PENDING;
	return entry;
}

/* Closes the least recently used rules until one of this cost fits in the
 * budget, or none is left. */
static void
make_room(size_t cost)
{
	while (entries_used.oldest &&
		   (entries_used.count >= rc_cache_capacity() || cached_bytes + cost > rc_cache_budget()))
		drop_entry((RcEntry *) entries_used.oldest);
}

RcEntry *
rc_cache_entry(const char *rule, size_t rule_length, const RcLayout *layout)
{
	RcSettings	settings = rc_current_settings();
	uint32		hash;
	char	   *gbk_rule;
	RcEntry    *entry;
	const char *ambiguous;

	rc_check_rule_size(rule_length);
	hash = key_hash(rule, rule_length, layout, &settings);
	for (RcLruNode *node = entries_used.newest; node; node = node->older)
	{
		entry = (RcEntry *) node;
		if (!entry_matches(entry, hash, rule, rule_length, layout, &settings))
			continue;
		rc_lru_touch(&entries_used, node);
		return entry;
	}
	gbk_rule = rc_to_gbk(rule, (int) rule_length, "the rule", NULL);
	make_room(entry_cost(rule_length, layout));
	entry = new_entry(hash, rule, rule_length, layout, &settings);
	rc_lru_link_newest(&entries_used, &entry->node);
	entry->cost = entry_cost(rule_length, layout);
	cached_bytes += entry->cost;
	entry->calc = rulecalc_open();
	if (entry->calc == NULL)
	{
		drop_entry(entry);
		ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory for a rulecalc calculator")));
	}
	rc_watch_interrupts(entry->calc);
	rc_apply_settings(entry->calc, &settings);
	entry->gbk_rule = MemoryContextStrdup(entry->memory, gbk_rule);
	rulecalc_set_sentence(entry->calc, gbk_rule);
	ambiguous = match_variables(entry, layout, CurrentMemoryContext);
	if (ambiguous)
	{
		char	   *name = pstrdup(ambiguous);

		drop_entry(entry);
		rc_raise_ambiguous(name);
	}
	return entry;
}
