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

/* An analysis stopped half-way leaves code behind: the entry goes, so that
 * the next query analyses the rule afresh. */
static void
analyse(RcEntry *entry)
{
	int			compiled;

	rc_library_call_begins();
	compiled = rulecalc_analyse(entry->calc);
	if (rc_library_call_stopped())
	{
		rc_cache_forget(entry);
		rc_raise_stop();
	}
	entry->analysis = compiled ? RC_ANALYSED : RC_ANALYSIS_FAILED;
}

RcEntry *
rc_prepare(text *rule, RcRow *row)
{
	RcEntry    *entry = rc_cache_entry(VARDATA_ANY(rule), VARSIZE_ANY_EXHDR(rule), row->layout);

	set_variables(entry, row);
	if (entry->analysis == RC_PENDING)
		analyse(entry);
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
	rulecalc_status status;

	if (entry->analysis == RC_ANALYSIS_FAILED)
	{
		verdict.outcome = RC_OUTCOME_ANALYSIS_ERROR;
		verdict.message = rc_analysis_message(entry);
		return verdict;
	}
	rc_library_call_begins();
	status = rulecalc_run(entry->calc);
	if (rc_library_call_stopped())
		rc_raise_stop();
	switch (status)
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
