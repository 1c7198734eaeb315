/*
 * One rule over one row: the cached calculator gets the row's values of the
 * rule's variables, is analysed the first time, then runs.
 */
#include "rulecalc_pg.h"

#include "miscadmin.h"

static void
set_variables(RcEntry *entry, RcRow *row)
{
	for (int i = 0; i < entry->nvariables; i++)
	{
		int			column = entry->variable_columns[i];
		const char *value = row->fetch ? row->fetch(row, column) : "";

		if ((i & 255) == 255)
			CHECK_FOR_INTERRUPTS();
		rulecalc_set_variable(entry->calc, entry->variable_names[i], value, row->layout->columns[column].type);
	}
}

/*
 * A run adds its explanation to what the calculator's run-time text already
 * holds; only emptying the calculator empties it. After a run that left a
 * text the calculator is emptied and the rule analysed again, so every row
 * starts from the state a fresh analysis gives. Rows that hold leave no text
 * and reuse the compiled rule as it is.
 */
static void
start_afresh(RcEntry *entry)
{
	rulecalc_clear(entry->calc);
	rulecalc_set_sentence(entry->calc, entry->gbk_rule);
	entry->analysis = RC_PENDING;
	entry->needs_reset = false;
}

RcEntry *
rc_prepare(text *rule, RcRow *row)
{
	RcEntry    *entry = rc_cache_entry(VARDATA_ANY(rule), VARSIZE_ANY_EXHDR(rule), row->layout);

	if (entry->needs_reset)
		start_afresh(entry);
	set_variables(entry, row);
	if (entry->analysis == RC_PENDING)
		entry->analysis = rulecalc_analyse(entry->calc) ? RC_ANALYSED : RC_ANALYSIS_FAILED;
	return entry;
}

char *
rc_analysis_message(RcEntry *entry)
{
	size_t		length;
	const char *message = rulecalc_analyse_error(entry->calc, &length);

	return rc_from_gbk(message, length);
}

static char *
run_message(RcEntry *entry)
{
	size_t		length;
	const char *message = rulecalc_runtime_error(entry->calc, &length);

	return rc_from_gbk(message, length);
}

RcVerdict
rc_evaluate(text *rule, RcRow *row)
{
	RcEntry    *entry = rc_prepare(rule, row);
	RcVerdict	verdict = {RC_OUTCOME_HELD, NULL};
	size_t		length;

	if (entry->analysis == RC_ANALYSIS_FAILED)
	{
		verdict.outcome = RC_OUTCOME_ANALYSIS_ERROR;
		verdict.message = rc_analysis_message(entry);
		return verdict;
	}
	entry->needs_reset = true;
	switch (rulecalc_run(entry->calc))
	{
		case RULECALC_HELD:
			rulecalc_runtime_error(entry->calc, &length);
			entry->needs_reset = length > 0;
			break;
		case RULECALC_FAILED:
			verdict.outcome = RC_OUTCOME_FAILED;
			verdict.message = run_message(entry);
			break;
		default:
			verdict.outcome = RC_OUTCOME_RUNTIME_ERROR;
			verdict.message = run_message(entry);
			break;
	}
	return verdict;
}
