/*
 * The SQL-callable functions.
 */
#include "rulecalc_pg.h"

#include "access/htup_details.h"
#include "funcapi.h"
#include "miscadmin.h"
#include "catalog/pg_type.h"
#include "utils/builtins.h"

PG_FUNCTION_INFO_V1(rulecalc_eval_record);
PG_FUNCTION_INFO_V1(rulecalc_eval_jsonb);
PG_FUNCTION_INFO_V1(rulecalc_holds_record);
PG_FUNCTION_INFO_V1(rulecalc_holds_jsonb);
PG_FUNCTION_INFO_V1(rulecalc_check_record);
PG_FUNCTION_INFO_V1(rulecalc_warnings_record);
PG_FUNCTION_INFO_V1(rulecalc_token_rows);
PG_FUNCTION_INFO_V1(rulecalc_varname_rows);
PG_FUNCTION_INFO_V1(rulecalc_cache_usage);
PG_FUNCTION_INFO_V1(rulecalc_eval_set);
PG_FUNCTION_INFO_V1(rulecalc_holds_set);

static const char *const outcome_words[] = {"held", "failed", "runtime error", "analysis error"};

/* The second argument as a row: a composite value, or none for
 * rulecalc_check(rule). */
static RcRow *
record_argument(FunctionCallInfo fcinfo)
{
	return PG_NARGS() > 1 ? rc_record_row(fcinfo, 1) : rc_empty_row();
}

/* The second argument as a jsonb object of variables (none when NULL). */
static RcRow *
jsonb_argument(FunctionCallInfo fcinfo)
{
	return PG_ARGISNULL(1) ? rc_empty_row() : rc_json_row(PG_GETARG_DATUM(1));
}

static TupleDesc
verdict_type(FunctionCallInfo fcinfo)
{
	RcCallSite *site = rc_call_site(fcinfo);

	if (site->result == NULL)
	{
		TupleDesc	tupdesc;
		MemoryContext old;

		if (get_call_result_type(fcinfo, NULL, &tupdesc) != TYPEFUNC_COMPOSITE)
			elog(ERROR, "rulecalc_eval must return a composite type");
		old = MemoryContextSwitchTo(fcinfo->flinfo->fn_mcxt);
		site->result = BlessTupleDesc(CreateTupleDescCopy(tupdesc));
		MemoryContextSwitchTo(old);
	}
	return site->result;
}

static Datum
verdict_datum(FunctionCallInfo fcinfo, RcVerdict verdict)
{
	Datum		values[4];
	bool		nulls[4] = {false, false, true, true};
	bool		is_error = verdict.outcome >= RC_OUTCOME_RUNTIME_ERROR;

	values[0] = BoolGetDatum(verdict.outcome == RC_OUTCOME_HELD);
	nulls[0] = is_error;
	values[1] = CStringGetTextDatum(outcome_words[verdict.outcome]);
	if (verdict.message)
	{
		values[is_error ? 3 : 2] = CStringGetTextDatum(verdict.message);
		nulls[is_error ? 3 : 2] = false;
	}
	return HeapTupleGetDatum(heap_form_tuple(verdict_type(fcinfo), values, nulls));
}

Datum
rulecalc_eval_record(PG_FUNCTION_ARGS)
{
	if (PG_ARGISNULL(0))
		PG_RETURN_NULL();
	return verdict_datum(fcinfo, rc_evaluate(PG_GETARG_TEXT_PP(0), record_argument(fcinfo)));
}

Datum
rulecalc_eval_jsonb(PG_FUNCTION_ARGS)
{
	if (PG_ARGISNULL(0))
		PG_RETURN_NULL();
	return verdict_datum(fcinfo, rc_evaluate(PG_GETARG_TEXT_PP(0), jsonb_argument(fcinfo)));
}

/* True or false; NULL after a run-time error; an analysis error is an SQL
 * error, since it would be the same for every row. */
static Datum
holds_datum(FunctionCallInfo fcinfo, RcVerdict verdict)
{
	if (verdict.outcome == RC_OUTCOME_ANALYSIS_ERROR)
		ereport(ERROR,
				(errcode(ERRCODE_SYNTAX_ERROR),
				 errmsg("rulecalc rule does not analyse: %s", verdict.message)));
	if (verdict.outcome == RC_OUTCOME_RUNTIME_ERROR)
		PG_RETURN_NULL();
	PG_RETURN_BOOL(verdict.outcome == RC_OUTCOME_HELD);
}

Datum
rulecalc_holds_record(PG_FUNCTION_ARGS)
{
	if (PG_ARGISNULL(0))
		PG_RETURN_NULL();
	return holds_datum(fcinfo, rc_evaluate(PG_GETARG_TEXT_PP(0), record_argument(fcinfo)));
}

Datum
rulecalc_holds_jsonb(PG_FUNCTION_ARGS)
{
	if (PG_ARGISNULL(0))
		PG_RETURN_NULL();
	return holds_datum(fcinfo, rc_evaluate(PG_GETARG_TEXT_PP(0), jsonb_argument(fcinfo)));
}

Datum
rulecalc_check_record(PG_FUNCTION_ARGS)
{
	RcEntry    *entry;

	if (PG_ARGISNULL(0))
		PG_RETURN_NULL();
	entry = rc_prepare(PG_GETARG_TEXT_PP(0), record_argument(fcinfo));
	if (entry->analysis != RC_ANALYSIS_FAILED)
		PG_RETURN_NULL();
	PG_RETURN_TEXT_P(cstring_to_text(rc_analysis_message(entry)));
}

/* A byte position in the GBK rule as a character position (from 1). */
static int
character_position(const char *gbk, int32 byte_position)
{
	int			characters = 1;

	for (int32 i = 0; i < byte_position && gbk[i]; characters++)
		i += ((unsigned char) gbk[i] >= 0x81 && gbk[i + 1]) ? 2 : 1;
	return characters;
}

Datum
rulecalc_warnings_record(PG_FUNCTION_ARGS)
{
	RcEntry    *entry;
	StringInfoData warnings;
	size_t		count;

	if (PG_ARGISNULL(0))
		PG_RETURN_NULL();
	entry = rc_prepare(PG_GETARG_TEXT_PP(0), record_argument(fcinfo));
	count = entry->analysis == RC_ANALYSED ? rulecalc_warning_count(entry->calc) : 0;
	if (count == 0)
		PG_RETURN_NULL();
	initStringInfo(&warnings);
	for (size_t i = 0; i < count; i++)
	{
		int32		position = 0;
		size_t		length = 0;
		const char *message = rulecalc_warning(entry->calc, i, &position, &length);

		appendStringInfo(&warnings, "%s%s (at character %d)", i ? "\n" : "",
						 rc_from_gbk(message ? message : "", length), character_position(entry->gbk_rule, position));
	}
	PG_RETURN_TEXT_P(cstring_to_text(warnings.data));
}

static Datum
listing_rows(FunctionCallInfo fcinfo, char *listing)
{
	ReturnSetInfo *rsinfo = (ReturnSetInfo *) fcinfo->resultinfo;
	ListCell   *cell;

	InitMaterializedSRF(fcinfo, MAT_SRF_USE_EXPECTED_DESC);
	foreach(cell, rc_split_tokens(listing))
	{
		Datum		value = CStringGetTextDatum((char *) lfirst(cell));
		bool		isnull = false;

		CHECK_FOR_INTERRUPTS();
		tuplestore_putvalues(rsinfo->setResult, rsinfo->setDesc, &value, &isnull);
	}
	return (Datum) 0;
}

Datum
rulecalc_token_rows(PG_FUNCTION_ARGS)
{
	return listing_rows(fcinfo, rc_token_listing(PG_GETARG_TEXT_PP(0)));
}

Datum
rulecalc_varname_rows(PG_FUNCTION_ARGS)
{
	return listing_rows(fcinfo, rc_varname_listing(PG_GETARG_TEXT_PP(0)));
}

/* The rules this session's cache holds and the memory they take, roughly. */
Datum
rulecalc_cache_usage(PG_FUNCTION_ARGS)
{
	TupleDesc	tupdesc;
	Datum		values[2];
	bool		nulls[2] = {false, false};
	int			entries;
	size_t		bytes;

	if (get_call_result_type(fcinfo, NULL, &tupdesc) != TYPEFUNC_COMPOSITE)
		elog(ERROR, "rulecalc_cache_usage must return a composite type");
	rc_cache_usage(&entries, &bytes);
	values[0] = Int32GetDatum(entries);
	values[1] = Int64GetDatum((int64) bytes);
	return HeapTupleGetDatum(heap_form_tuple(BlessTupleDesc(tupdesc), values, nulls));
}

/* ---- many rules over one row ---- */

/* The set of the sentences (argument sentences_arg) named by the array at
 * names_arg (-1: none), run over the row at record_arg; NULL when there are
 * no sentences. */
static RcRuleSet *
run_rule_set(FunctionCallInfo fcinfo, int names_arg, int sentences_arg, int record_arg)
{
	ArrayType  *names = NULL;
	RcRow	   *row;
	RcRuleSet  *set;

	if (PG_ARGISNULL(sentences_arg))
		return NULL;
	if (names_arg >= 0 && !PG_ARGISNULL(names_arg))
		names = PG_GETARG_ARRAYTYPE_P(names_arg);
	row = rc_record_row(fcinfo, record_arg);
	set = rc_rule_set(fcinfo, names, PG_GETARG_ARRAYTYPE_P(sentences_arg), row->layout);
	rc_run_rule_set(set, row);
	return set;
}

/* One row per rule, in the order of the sentences: its name, then the
 * columns of rulecalc_verdict (all NULL for a NULL sentence). */
static void
put_verdict_row(ReturnSetInfo *rsinfo, const RcRuleSet *set, int member)
{
	Datum		values[5] = {0};
	bool		nulls[5] = {true, true, true, true, true};
	RcVerdict	verdict;
	text	   *name = rc_rule_set_name(set, member);

	if (name)
	{
		values[0] = PointerGetDatum(name);
		nulls[0] = false;
	}
	if (rc_rule_set_verdict(set, member, true, &verdict))
	{
		bool		is_error = verdict.outcome >= RC_OUTCOME_RUNTIME_ERROR;

		values[1] = BoolGetDatum(verdict.outcome == RC_OUTCOME_HELD);
		nulls[1] = is_error;
		values[2] = CStringGetTextDatum(outcome_words[verdict.outcome]);
		nulls[2] = false;
		if (verdict.message)
		{
			values[is_error ? 4 : 3] = CStringGetTextDatum(verdict.message);
			nulls[is_error ? 4 : 3] = false;
		}
	}
	tuplestore_putvalues(rsinfo->setResult, rsinfo->setDesc, values, nulls);
}

Datum
rulecalc_eval_set(PG_FUNCTION_ARGS)
{
	ReturnSetInfo *rsinfo = (ReturnSetInfo *) fcinfo->resultinfo;
	RcRuleSet  *set;

	InitMaterializedSRF(fcinfo, MAT_SRF_USE_EXPECTED_DESC);
	set = run_rule_set(fcinfo, 0, 1, 2);
	for (int i = 0; set && i < rc_rule_set_size(set); i++)
		put_verdict_row(rsinfo, set, i);
	return (Datum) 0;
}

/* Per rule true or false; NULL after a run-time error and for a NULL
 * sentence. A rule that does not analyse is an SQL error, as it is for
 * rulecalc_holds. */
Datum
rulecalc_holds_set(PG_FUNCTION_ARGS)
{
	RcRuleSet  *set = run_rule_set(fcinfo, -1, 0, 1);
	int			count;
	Datum	   *values;
	bool	   *nulls;
	int			dims[1];
	int			lbs[1] = {1};

	if (set == NULL)
		PG_RETURN_NULL();
	count = rc_rule_set_size(set);
	values = palloc(sizeof(Datum) * Max(count, 1));
	nulls = palloc(sizeof(bool) * Max(count, 1));
	for (int i = 0; i < count; i++)
	{
		RcVerdict	verdict;

		nulls[i] = !rc_rule_set_verdict(set, i, false, &verdict) || verdict.outcome == RC_OUTCOME_RUNTIME_ERROR;
		values[i] = BoolGetDatum(!nulls[i] && verdict.outcome == RC_OUTCOME_HELD);
		if (!nulls[i] && verdict.outcome == RC_OUTCOME_ANALYSIS_ERROR)
		{
			rc_rule_set_verdict(set, i, true, &verdict);
			ereport(ERROR,
					(errcode(ERRCODE_SYNTAX_ERROR),
					 errmsg("rulecalc rule %d does not analyse: %s", i + 1, verdict.message)));
		}
	}
	dims[0] = count;
	PG_RETURN_ARRAYTYPE_P(construct_md_array(values, nulls, 1, dims, lbs, BOOLOID, 1, true, TYPALIGN_CHAR));
}
