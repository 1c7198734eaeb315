/*
 * Tokens and variable names of a rule, from one calculator kept for
 * listings alone.
 */
#include "rulecalc_pg.h"

#include "miscadmin.h"

static rulecalc_handle *lister = NULL;

static rulecalc_handle *
listing_calculator(text *rule)
{
	char	   *gbk;

	rc_check_rule_size(VARSIZE_ANY_EXHDR(rule));
	gbk = rc_to_gbk(VARDATA_ANY(rule), VARSIZE_ANY_EXHDR(rule), "the rule", NULL);
	if (lister == NULL)
	{
		lister = rulecalc_open();
		if (lister == NULL)
			ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory for a rulecalc calculator")));
		rc_watch_interrupts(lister);
	}
	rulecalc_set_language(lister, rc_current_settings().language);
	rulecalc_set_sentence(lister, gbk);
	return lister;
}

/* The listing in the database's encoding; a stopped listing is the SQL
 * error of a cancelled query. */
static char *
listing_text(const char *(RULECALC_CDECL * list) (rulecalc_handle *, size_t *), text *rule)
{
	rulecalc_handle *calc = listing_calculator(rule);
	size_t		length;
	const char *listing;

	rc_library_call_begins();
	listing = list(calc, &length);
	if (rc_library_call_stopped())
		rc_raise_stop();
	return rc_from_gbk(listing, length);
}

void
rc_close_lister(void)
{
	rulecalc_close(lister);
	lister = NULL;
}

char *
rc_token_listing(text *rule)
{
	return listing_text(rulecalc_tokens, rule);
}

char *
rc_varname_listing(text *rule)
{
	return listing_text(rulecalc_varnames, rule);
}

/* The end of a token that starts at p: a quoted text runs to its closing
 * quote (it may hold ";"), anything else to the next ";". */
static const char *
token_end(const char *p)
{
	if (*p == '"')
	{
		const char *close = strchr(p + 1, '"');

		if (close && close[1] == ';')
			return close + 1;
	}
	if (*p == ';')
		return p + 1;
	return p + strcspn(p, ";");
}

/* The listing "token;token;...;" as a list of tokens; ";" itself is a token
 * (listed as ";;"). */
List *
rc_split_tokens(const char *listing)
{
	List	   *tokens = NIL;
	const char *p = listing;

	while (*p)
	{
		const char *end = token_end(p);

		CHECK_FOR_INTERRUPTS();
		tokens = lappend(tokens, pnstrdup(p, end - p));
		p = *end == ';' ? end + 1 : end;
	}
	return tokens;
}
