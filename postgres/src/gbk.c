/*
 * Texts between the database's encoding and GBK, the library's encoding.
 *
 * The server's conversion functions run in their no-error mode: they stop at
 * the first character the target lacks, so such a character becomes an error
 * that names the column rather than a text the library would misread. An
 * encoding with no direct conversion to GBK goes through UTF8.
 */
#include "rulecalc_pg.h"

#include "catalog/namespace.h"
#include "mb/pg_wchar.h"
#include "miscadmin.h"
#include "utils/memutils.h"

typedef struct RcConversion
{
	int			from;
	int			to;
	bool		exists;
	FmgrInfo	function;
} RcConversion;

#define RC_MAX_CONVERSIONS 8

static RcConversion conversions[RC_MAX_CONVERSIONS];
static int	nconversions = 0;

static RcConversion *
find_conversion(int from, int to)
{
	RcConversion *conversion;
	Oid			proc;

	for (int i = 0; i < nconversions; i++)
		if (conversions[i].from == from && conversions[i].to == to)
			return &conversions[i];
	if (nconversions == RC_MAX_CONVERSIONS)
		elog(ERROR, "rulecalc: too many text conversions");
	proc = FindDefaultConversionProc(from, to);
	conversion = &conversions[nconversions];
	conversion->from = from;
	conversion->to = to;
	conversion->exists = OidIsValid(proc);
	if (conversion->exists)
		fmgr_info_cxt(proc, &conversion->function, TopMemoryContext);
	nconversions++;
	return conversion;
}

/* Converts as far as possible; *converted tells how many input bytes went. */
static char *
convert_prefix(const char *text, int length, int from, int to, int *converted)
{
	RcConversion *conversion = find_conversion(from, to);
	char	   *result;

	if (!conversion->exists)
		ereport(ERROR,
				(errcode(ERRCODE_UNDEFINED_FUNCTION),
				 errmsg("no conversion from encoding \"%s\" to \"%s\"",
						pg_encoding_to_char(from), pg_encoding_to_char(to))));
	if ((Size) length >= (MaxAllocSize / (Size) MAX_CONVERSION_GROWTH))
		ereport(ERROR,
				(errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
				 errmsg("text of %d bytes is too long to convert to GBK", length)));
	result = palloc((Size) length * MAX_CONVERSION_GROWTH + 1);
	result[0] = '\0';
	*converted = DatumGetInt32(FunctionCall6(&conversion->function,
											 Int32GetDatum(from), Int32GetDatum(to),
											 CStringGetDatum(text), CStringGetDatum(result),
											 Int32GetDatum(length), BoolGetDatum(true)));
	return result;
}

static char *
copy_text(const char *text, int length)
{
	char	   *copy = palloc(length + 1);

	memcpy(copy, text, length);
	copy[length] = '\0';
	return copy;
}

bool
rc_is_ascii(const char *text, int length)
{
	for (int i = 0; i < length; i++)
		if ((unsigned char) text[i] >= 0x80 || text[i] == '\0')
			return false;
	return true;
}

/* Whole text from one encoding to another, or NULL. Every server encoding
 * and GBK spell ASCII alike, so an ASCII text needs no conversion. */
static char *
convert_whole(const char *text, int length, int from, int to)
{
	int			converted;
	char	   *result;

	if (length == 0 || from == to || rc_is_ascii(text, length))
		return copy_text(text, length);
	if (!find_conversion(from, to)->exists && from != PG_UTF8 && to != PG_UTF8)
	{
		char	   *middle = convert_whole(text, length, from, PG_UTF8);

		return middle ? convert_whole(middle, strlen(middle), PG_UTF8, to) : NULL;
	}
	result = convert_prefix(text, length, from, to, &converted);
	return converted == length ? result : NULL;
}

char *
rc_to_gbk_or_null(const char *text, int length)
{
	int			database = GetDatabaseEncoding();

	/* SQL_ASCII declares no encoding: its bytes go as they are. */
	if (database == PG_SQL_ASCII)
		return copy_text(text, length);
	return convert_whole(text, length, database, PG_GBK);
}

char *
rc_to_gbk(const char *text, int length, const char *kind, const char *name)
{
	char	   *gbk;

	/* The library reads texts up to a NUL: one inside would cut the value.
	 * The server's texts hold none; this guards every other way in. */
	if (memchr(text, '\0', length) != NULL)
		ereport(ERROR,
				(errcode(ERRCODE_CHARACTER_NOT_IN_REPERTOIRE),
				 name ? errmsg("%s \"%s\" holds a NUL character, which rulecalc cannot take", kind, name)
				 : errmsg("%s holds a NUL character, which rulecalc cannot take", kind)));
	gbk = rc_to_gbk_or_null(text, length);

	if (gbk == NULL)
		ereport(ERROR,
				(errcode(ERRCODE_UNTRANSLATABLE_CHARACTER),
				 name ? errmsg("%s \"%s\" holds a character that GBK cannot represent", kind, name)
				 : errmsg("%s holds a character that GBK cannot represent", kind),
				 errdetail("rulecalc works on GBK texts; the value is \"%s\".",
						   pnstrdup(text, Min(length, 200)))));
	return gbk;
}

/* One GBK character's length at text (1 for a byte that starts none). */
static int
gbk_char_length(const unsigned char *text, size_t left)
{
	return (left >= 2 && text[0] >= 0x81 && text[0] <= 0xFE && text[1] >= 0x40 && text[1] != 0x7F) ? 2 : 1;
}

char *
rc_from_gbk(const char *gbk, size_t length)
{
	StringInfoData out;
	int			database = GetDatabaseEncoding();
	size_t		done = 0;

	if (database == PG_GBK || database == PG_SQL_ASCII)
		return copy_text(gbk, (int) length);
	initStringInfo(&out);
	while (done < length)
	{
		int			converted;

		CHECK_FOR_INTERRUPTS();
		char	   *piece = convert_whole(gbk + done, (int) (length - done), PG_GBK, database);

		if (piece)
		{
			appendStringInfoString(&out, piece);
			break;
		}
		/* The longest prefix that converts, then "?" for what does not. */
		if (find_conversion(PG_GBK, database)->exists)
		{
			piece = convert_prefix(gbk + done, (int) (length - done), PG_GBK, database, &converted);
			appendStringInfoString(&out, piece);
			done += converted;
		}
		appendStringInfoChar(&out, '?');
		done += gbk_char_length((const unsigned char *) gbk + done, length - done);
	}
	return out.data;
}
