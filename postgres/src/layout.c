/*
 * Columns as the library's variables: which type each becomes and how a
 * value is written for it. Numbers go as decimal texts, dates and timestamps
 * as day numbers (days since 30 December 1899, the time of day as the
 * fraction), texts in GBK.
 */
#include "rulecalc_pg.h"

#include <math.h>

#include "catalog/pg_type.h"
#include "common/hashfn.h"
#include "common/shortest_dec.h"
#include "datatype/timestamp.h"
#include "utils/builtins.h"
#include "utils/date.h"
#include "utils/lsyscache.h"
#include "utils/timestamp.h"

/* Days from 30 December 1899 (the library's day 0) to 1 January 2000 (the
 * server's). */
#define RC_DAYS_TO_POSTGRES_EPOCH 36526

static RcValueKind
kind_of_type(Oid type)
{
	switch (type)
	{
		case INT2OID:
		case INT4OID:
		case INT8OID:
		case OIDOID:
			return RC_KIND_INTEGER;
		case FLOAT4OID:
		case FLOAT8OID:
			return RC_KIND_FLOAT;
		case NUMERICOID:
			return RC_KIND_NUMERIC;
		case BOOLOID:
			return RC_KIND_BOOLEAN;
		case DATEOID:
			return RC_KIND_DATE;
		case TIMESTAMPOID:
			return RC_KIND_TIMESTAMP;
		case TIMESTAMPTZOID:
			return RC_KIND_TIMESTAMPTZ;
		case TEXTOID:
		case VARCHAROID:
		case NAMEOID:
		case CHAROID:
			return RC_KIND_TEXT;
		case BPCHAROID:
			return RC_KIND_BPCHAR;
		default:
			return RC_KIND_OTHER;
	}
}

void
rc_classify_column(RcColumn *column, const char *name, Oid type)
{
	Oid			base = getBaseType(type);
	bool		varlena;

	column->sql_name = pstrdup(name);
	column->gbk_name = rc_to_gbk_or_null(name, strlen(name));
	column->kind = kind_of_type(base);
	column->type = column->kind <= RC_KIND_TIMESTAMPTZ ? RULECALC_NUMBER : RULECALC_TEXT;
	column->base_type = base;
	column->output_function = InvalidOid;
	if (column->kind == RC_KIND_OTHER)
		getTypeOutputInfo(base, &column->output_function, &varlena);
}

/* The signature names every column with its type, so that one cache entry
 * serves exactly the rows whose variables are the same. */
void
rc_finish_layout(RcLayout *layout)
{
	StringInfoData signature;

	initStringInfo(&signature);
	for (int i = 0; i < layout->ncolumns; i++)
	{
		const RcColumn *column = &layout->columns[i];

		appendStringInfoChar(&signature, column->type == RULECALC_NUMBER ? 'N' : 'T');
		appendStringInfoString(&signature, column->gbk_name ? column->gbk_name : "");
		appendStringInfoChar(&signature, '\x1f');
	}
	layout->signature = signature.data;
	layout->signature_length = signature.len;
	layout->signature_hash = hash_bytes((const unsigned char *) signature.data, signature.len);
}

/* A value the library has no number for: an SQL error naming the column
 * (or the jsonb key). */
static void
reject_number(const RcColumn *column, int sqlstate, const char *problem)
{
	ereport(ERROR,
			(errcode(sqlstate),
			 errmsg("%s \"%s\" holds %s, which rulecalc cannot take",
					column->kind >= RC_KIND_JSON_NUMBER ? "key" : "column", column->sql_name, problem)));
}

static void
reject_value(const RcColumn *column, const char *problem)
{
	reject_number(column, ERRCODE_INVALID_PARAMETER_VALUE, problem);
}

static char *
number_text(double value)
{
	char	   *text = palloc(DOUBLE_SHORTEST_DECIMAL_LEN);

	double_to_shortest_decimal_buf(value, text);
	return text;
}

/* A time as whole days since 30 December 1899 and the microseconds of the
 * day after its midnight. */
static void
day_and_micros(Timestamp timestamp, const RcColumn *column, int64 *days, int64 *micros)
{
	if (TIMESTAMP_NOT_FINITE(timestamp))
		reject_value(column, "an infinite time");
	*days = timestamp / USECS_PER_DAY;
	*micros = timestamp % USECS_PER_DAY;
	if (*micros < 0)
	{
		*days -= 1;
		*micros += USECS_PER_DAY;
	}
	*days += RC_DAYS_TO_POSTGRES_EPOCH;
}

/* The day number; before 30 December 1899 the fraction still counts
 * forward from the day's midnight, written after the minus sign. */
static double
day_number(int64 days, int64 micros)
{
	return days >= 0 ? days + (double) micros / USECS_PER_DAY : days - (double) micros / USECS_PER_DAY;
}

static char *
day_number_text(Timestamp timestamp, const RcColumn *column)
{
	int64		days;
	int64		micros;

	day_and_micros(timestamp, column, &days, &micros);
	if (micros == 0)
		return psprintf(INT64_FORMAT, days);
	return number_text(day_number(days, micros));
}

static double
day_number_value(Timestamp timestamp, const RcColumn *column)
{
	int64		days;
	int64		micros;

	day_and_micros(timestamp, column, &days, &micros);
	return day_number(days, micros);
}

static Timestamp
timestamp_of(const RcColumn *column, Datum value)
{
	if (column->kind == RC_KIND_TIMESTAMPTZ)
		return DatumGetTimestamp(DirectFunctionCall1(timestamptz_timestamp, value));
	return DatumGetTimestamp(value);
}

/* The shortest decimal that reads back as the same value: real 0.1 goes as
 * "0.1", as the server shows it. */
static char *
float_text(Datum value, const RcColumn *column)
{
	double		number = column->base_type == FLOAT4OID ? DatumGetFloat4(value) : DatumGetFloat8(value);
	char	   *text;

	if (isnan(number) || isinf(number))
		reject_value(column, isnan(number) ? "NaN" : "an infinite number");
	if (column->base_type != FLOAT4OID)
		return number_text(number);
	text = palloc(FLOAT_SHORTEST_DECIMAL_LEN);
	float_to_shortest_decimal_buf(DatumGetFloat4(value), text);
	return text;
}

static char *
integer_text(Datum value, Oid type)
{
	switch (type)
	{
		case INT2OID:
			return psprintf("%d", (int) DatumGetInt16(value));
		case INT4OID:
			return psprintf("%d", DatumGetInt32(value));
		case OIDOID:
			return psprintf("%u", DatumGetObjectId(value));
		default:
			return psprintf(INT64_FORMAT, DatumGetInt64(value));
	}
}

/* The decimal text of a numeric; beyond the range of a double the library
 * would read it as the null number, so it is refused like NaN. (A value too
 * small for a double reads as 0, as any value is rounded.) */
char *
rc_numeric_text(const RcColumn *column, Datum value)
{
	char	   *digits = DatumGetCString(DirectFunctionCall1(numeric_out, value));

	if (!isdigit((unsigned char) digits[digits[0] == '-']))
		reject_value(column, digits);
	if (isinf(strtod(digits, NULL)))
		reject_number(column, ERRCODE_NUMERIC_VALUE_OUT_OF_RANGE, "a number beyond the range of double precision");
	return digits;
}

/* CHAR(n) pads with blanks that carry no meaning; they are left out. */
static char *
bpchar_text(const RcColumn *column, Datum value)
{
	text	   *padded = DatumGetTextPP(value);
	int			length = VARSIZE_ANY_EXHDR(padded);

	while (length > 0 && VARDATA_ANY(padded)[length - 1] == ' ')
		length--;
	return rc_column_text(column, VARDATA_ANY(padded), length);
}

static char *
text_text(const RcColumn *column, Datum value)
{
	const char *data;

	switch (column->base_type)
	{
		case NAMEOID:
			data = NameStr(*DatumGetName(value));
			return rc_column_text(column, data, strlen(data));
		case CHAROID:
			{
				char		c = DatumGetChar(value);

				return rc_column_text(column, &c, c ? 1 : 0);
			}
		default:
			{
				text	   *t = DatumGetTextPP(value);

				return rc_column_text(column, VARDATA_ANY(t), VARSIZE_ANY_EXHDR(t));
			}
	}
}

char *
rc_column_text(const RcColumn *column, const char *data, int length)
{
	return rc_to_gbk(data, length, "column", column->sql_name);
}

char *
rc_format_value(const RcColumn *column, Datum value)
{
	switch (column->kind)
	{
		case RC_KIND_INTEGER:
			return integer_text(value, column->base_type);
		case RC_KIND_NUMERIC:
			return rc_numeric_text(column, value);
		case RC_KIND_FLOAT:
			return float_text(value, column);
		case RC_KIND_BOOLEAN:
			return pstrdup(DatumGetBool(value) ? "1" : "0");
		case RC_KIND_DATE:
			if (DATE_NOT_FINITE(DatumGetDateADT(value)))
				reject_value(column, "an infinite date");
			return psprintf(INT64_FORMAT, (int64) DatumGetDateADT(value) + RC_DAYS_TO_POSTGRES_EPOCH);
		case RC_KIND_TIMESTAMP:
		case RC_KIND_TIMESTAMPTZ:
			return day_number_text(timestamp_of(column, value), column);
		case RC_KIND_TEXT:
			return text_text(column, value);
		case RC_KIND_BPCHAR:
			return bpchar_text(column, value);
		default:
			{
				char	   *output = OidOutputFunctionCall(column->output_function, value);

				return rc_column_text(column, output, strlen(output));
			}
	}
}

static double
integer_value(Datum value, Oid type)
{
	switch (type)
	{
		case INT2OID:
			return DatumGetInt16(value);
		case INT4OID:
			return DatumGetInt32(value);
		case OIDOID:
			return DatumGetObjectId(value);
		default:
			return (double) DatumGetInt64(value);
	}
}

/* Integers, doubles and dates are read straight; a real and a numeric go
 * through the decimal text the other way writes, so that both give the
 * library the same number. */
double
rc_column_number(const RcColumn *column, Datum value)
{
	switch (column->kind)
	{
		case RC_KIND_INTEGER:
			return integer_value(value, column->base_type);
		case RC_KIND_FLOAT:
			if (column->base_type != FLOAT4OID)
			{
				double		number = DatumGetFloat8(value);

				if (isnan(number) || isinf(number))
					reject_value(column, isnan(number) ? "NaN" : "an infinite number");
				return number;
			}
			return strtod(float_text(value, column), NULL);
		case RC_KIND_NUMERIC:
			return strtod(rc_numeric_text(column, value), NULL);
		case RC_KIND_BOOLEAN:
			return DatumGetBool(value) ? 1 : 0;
		case RC_KIND_DATE:
			if (DATE_NOT_FINITE(DatumGetDateADT(value)))
				reject_value(column, "an infinite date");
			return (double) DatumGetDateADT(value) + RC_DAYS_TO_POSTGRES_EPOCH;
		default:
			return day_number_value(timestamp_of(column, value), column);
	}
}
