/*
 * A jsonb object as variables: each key is a variable; numbers are numbers,
 * strings texts, null the null number. Anything else names its key in an
 * error.
 */
#include "rulecalc_pg.h"

#include "miscadmin.h"
#include "utils/builtins.h"
#include "utils/jsonb.h"

typedef struct RcJsonState
{
	char	  **values;			/* GBK */
} RcJsonState;

static const char *
json_kind_name(const JsonbValue *value)
{
	if (value->type == jbvBool)
		return "a boolean";
	if (value->type == jbvBinary)
		return JsonContainerIsArray(value->val.binary.data) ? "an array" : "an object";
	return "a value of another kind";
}

static void
add_variable(RcLayout *layout, char **values, const JsonbValue *key, const JsonbValue *value)
{
	RcColumn   *column = &layout->columns[layout->ncolumns];
	char	   *name = pnstrdup(key->val.string.val, key->val.string.len);

	column->sql_name = name;
	column->gbk_name = rc_to_gbk_or_null(name, key->val.string.len);
	column->base_type = InvalidOid;
	column->output_function = InvalidOid;
	switch (value->type)
	{
		case jbvNull:
			column->kind = RC_KIND_JSON_NULL;
			column->type = RULECALC_NUMBER;
			values[layout->ncolumns] = "";
			break;
		case jbvNumeric:
			column->kind = RC_KIND_JSON_NUMBER;
			column->type = RULECALC_NUMBER;
			values[layout->ncolumns] = rc_numeric_text(column, NumericGetDatum(value->val.numeric));
			break;
		case jbvString:
			column->kind = RC_KIND_JSON_STRING;
			column->type = RULECALC_TEXT;
			values[layout->ncolumns] = rc_to_gbk(value->val.string.val, value->val.string.len,
												 "key", name);
			break;
		default:
			ereport(ERROR,
					(errcode(ERRCODE_INVALID_PARAMETER_VALUE),
					 errmsg("key \"%s\" holds %s; rulecalc variables are numbers, strings or nulls",
							name, json_kind_name(value))));
	}
	layout->ncolumns++;
}

static char *
fetch_value(RcRow *row, int column)
{
	return ((RcJsonState *) row->state)->values[column];
}

RcRow *
rc_json_row(Datum datum)
{
	Jsonb	   *jsonb = DatumGetJsonbP(datum);
	RcRow	   *row = palloc0(sizeof(RcRow));
	RcLayout   *layout = palloc0(sizeof(RcLayout));
	RcJsonState *state = palloc0(sizeof(RcJsonState));
	JsonbIterator *iterator;
	JsonbIteratorToken token;
	JsonbValue	key,
				value;
	int			size;

	if (!JB_ROOT_IS_OBJECT(jsonb) || JB_ROOT_IS_SCALAR(jsonb))
		ereport(ERROR,
				(errcode(ERRCODE_INVALID_PARAMETER_VALUE),
				 errmsg("rulecalc takes a JSON object of variables")));
	size = JB_ROOT_COUNT(jsonb);
	layout->columns = palloc0(sizeof(RcColumn) * Max(size, 1));
	state->values = palloc0(sizeof(char *) * Max(size, 1));
	iterator = JsonbIteratorInit(&jsonb->root);
	while ((token = JsonbIteratorNext(&iterator, &key, true)) != WJB_DONE)
	{
		CHECK_FOR_INTERRUPTS();
		if (token != WJB_KEY)
			continue;
		token = JsonbIteratorNext(&iterator, &value, true);
		add_variable(layout, state->values, &key, &value);
	}
	rc_finish_layout(layout);
	row->layout = layout;
	row->fetch = fetch_value;
	row->state = state;
	return row;
}
