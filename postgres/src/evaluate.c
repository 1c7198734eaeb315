/*
 * One rule over one row: the cached calculator gets the row's values of the
 * rule's variables, is analysed the first time, then runs. Every run of a
 * handle starts from a clean machine, so a rule is analysed once and each
 * row costs only its variables and a run.
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

RcEntry *
rc_prepare(text *rule, RcRow *row)
{
	RcEntry    *entry = rc_cache_entry(VARDATA_ANY(rule), VARSIZE_ANY_EXHDR(rule), row->layout);

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

	if (entry->analysis == RC_ANALYSIS_FAILED)
	{
		verdict.outcome = RC_OUTCOME_ANALYSIS_ERROR;
		verdict.message = rc_analysis_message(entry);
		return verdict;
	}
	switch (rulecalc_run(entry->calc))
	{
		case RULECALC_HELD:
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
