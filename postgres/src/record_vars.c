/*
 * A composite value as variables: each column is a variable of the same
 * name. The layout of a row type is worked out once per call site.
 */
#include "rulecalc_pg.h"

#include "access/htup_details.h"
#include "funcapi.h"
#include "miscadmin.h"
#include "utils/builtins.h"
#include "utils/lsyscache.h"
#include "utils/typcache.h"

typedef struct RcRecordLayout
{
	Oid			type;
	int32		typmod;
	TupleDesc	tupdesc;
	int		   *attnums;		/* the tuple's attribute of each column */
	RcLayout	layout;
} RcRecordLayout;

typedef struct RcRecordState
{
	RcRecordLayout *record;
	HeapTupleData tuple;		/* t_data NULL: every column is NULL */
	Datum	   *values;			/* every attribute, once taken apart */
	bool	   *nulls;
} RcRecordState;

static void
build_layout(RcRecordLayout *record, Oid type, int32 typmod)
{
	TupleDesc	tupdesc = lookup_rowtype_tupdesc(type, typmod);
	RcLayout   *layout = &record->layout;

	record->type = type;
	record->typmod = typmod;
	record->tupdesc = CreateTupleDescCopy(tupdesc);
	ReleaseTupleDesc(tupdesc);
	layout->ncolumns = 0;
	layout->columns = palloc(sizeof(RcColumn) * Max(record->tupdesc->natts, 1));
	record->attnums = palloc(sizeof(int) * Max(record->tupdesc->natts, 1));
	for (int i = 0; i < record->tupdesc->natts; i++)
	{
		Form_pg_attribute attribute = TupleDescAttr(record->tupdesc, i);

		CHECK_FOR_INTERRUPTS();
		if (attribute->attisdropped)
			continue;
		record->attnums[layout->ncolumns] = i + 1;
		rc_classify_column(&layout->columns[layout->ncolumns++], NameStr(attribute->attname), attribute->atttypid);
	}
	rc_finish_layout(layout);
}

/* The layout of the row type, kept in the call site's memory. */
static RcRecordLayout *
record_layout(FunctionCallInfo fcinfo, Oid type, int32 typmod)
{
	RcCallSite *site = rc_call_site(fcinfo);
	RcRecordLayout *record = (RcRecordLayout *) site->record;
	MemoryContext old;

	if (record && record->type == type && record->typmod == typmod)
		return record;
	old = MemoryContextSwitchTo(fcinfo->flinfo->fn_mcxt);
	record = palloc0(sizeof(RcRecordLayout));
	build_layout(record, type, typmod);
	MemoryContextSwitchTo(old);
	site->record = record;
	return record;
}

static char *
fetch_column(RcRow *row, int column)
{
	RcRecordState *state = (RcRecordState *) row->state;
	bool		isnull = true;
	Datum		value = (Datum) 0;

	if (state->tuple.t_data)
		value = heap_getattr(&state->tuple, state->record->attnums[column], state->record->tupdesc, &isnull);
	return isnull ? "" : rc_format_value(&state->record->layout.columns[column], value);
}

/* Takes the whole tuple apart in one pass, for a caller that reads many
 * of its columns. */
static void
deform(RcRecordState *state)
{
	int			natts = state->record->tupdesc->natts;

	state->values = palloc(sizeof(Datum) * Max(natts, 1));
	state->nulls = palloc(sizeof(bool) * Max(natts, 1));
	heap_deform_tuple(&state->tuple, state->record->tupdesc, state->values, state->nulls);
}

bool
rc_record_datum(RcRow *row, int column, Datum *value)
{
	RcRecordState *state = (RcRecordState *) row->state;
	int			attribute;

	if (state == NULL || state->tuple.t_data == NULL)
		return false;
	if (state->values == NULL)
		deform(state);
	attribute = state->record->attnums[column] - 1;
	*value = state->values[attribute];
	return !state->nulls[attribute];
}

RcCallSite *
rc_call_site(FunctionCallInfo fcinfo)
{
	if (fcinfo->flinfo->fn_extra == NULL)
		fcinfo->flinfo->fn_extra = MemoryContextAllocZero(fcinfo->flinfo->fn_mcxt, sizeof(RcCallSite));
	return (RcCallSite *) fcinfo->flinfo->fn_extra;
}

/* A NULL of no known row type, or no row at all: no variables. */
RcRow *
rc_empty_row(void)
{
	static RcLayout empty;
	RcRow	   *row = palloc0(sizeof(RcRow));

	if (empty.signature == NULL)
	{
		MemoryContext old = MemoryContextSwitchTo(TopMemoryContext);

		rc_finish_layout(&empty);
		MemoryContextSwitchTo(old);
	}
	row->layout = &empty;
	return row;
}

static const char *
function_name(FunctionCallInfo fcinfo)
{
	char	   *name = get_func_name(fcinfo->flinfo->fn_oid);

	return name ? name : "rulecalc";
}

/* rulecalc_eval and rulecalc_holds have a form over jsonb; rulecalc_check
 * and rulecalc_warnings take rows only. */
static bool
takes_jsonb(FunctionCallInfo fcinfo)
{
	const char *name = function_name(fcinfo);

	return strcmp(name, "rulecalc_eval") == 0 || strcmp(name, "rulecalc_holds") == 0;
}

static Oid
argument_row_type(FunctionCallInfo fcinfo, int argno)
{
	Oid			type = get_fn_expr_argtype(fcinfo->flinfo, argno);

	if (!OidIsValid(type))
		ereport(ERROR,
				(errcode(ERRCODE_FEATURE_NOT_SUPPORTED),
				 errmsg("rulecalc cannot tell the type of the row it was given")));
	if (!type_is_rowtype(type))
		ereport(ERROR,
				(errcode(ERRCODE_DATATYPE_MISMATCH),
				 errmsg("%s takes a row (a composite value)%s, not %s", function_name(fcinfo),
						takes_jsonb(fcinfo) ? " or jsonb" : "", format_type_be(type)),
				 errhint("Pass a whole row, as in rulecalc_eval(rule, t) for a table t, or ROW(...).")));
	return type;
}

RcRow *
rc_record_row(FunctionCallInfo fcinfo, int argno)
{
	Oid			type = argument_row_type(fcinfo, argno);
	int32		typmod = -1;
	RcRecordState *state = palloc0(sizeof(RcRecordState));
	RcRow	   *row = palloc0(sizeof(RcRow));

	if (!PG_ARGISNULL(argno))
	{
		HeapTupleHeader header = PG_GETARG_HEAPTUPLEHEADER(argno);

		type = HeapTupleHeaderGetTypeId(header);
		typmod = HeapTupleHeaderGetTypMod(header);
		state->tuple.t_len = HeapTupleHeaderGetDatumLength(header);
		ItemPointerSetInvalid(&state->tuple.t_self);
		state->tuple.t_tableOid = InvalidOid;
		state->tuple.t_data = header;
	}
	else if (type == RECORDOID)
		return rc_empty_row();
	state->record = record_layout(fcinfo, type, typmod);
	row->layout = &state->record->layout;
	row->fetch = fetch_column;
	row->state = state;
	return row;
}
