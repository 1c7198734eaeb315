/*
 * Tokens and variable names of a rule, from one calculator kept for
 * listings alone.
 */
#include "rulecalc_pg.h"

static rulecalc_handle *lister = NULL;

static rulecalc_handle *
listing_calculator(text *rule)
{
	char	   *gbk = rc_to_gbk(VARDATA_ANY(rule), VARSIZE_ANY_EXHDR(rule), "the rule", NULL);

	if (lister == NULL)
	{
		lister = rulecalc_open();
		if (lister == NULL)
			ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory for a rulecalc calculator")));
	}
	rulecalc_set_sentence(lister, gbk);
	return lister;
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
	size_t		length;
	const char *listing = rulecalc_tokens(listing_calculator(rule), &length);

	return rc_from_gbk(listing, length);
}

char *
rc_varname_listing(text *rule)
{
	size_t		length;
	const char *listing = rulecalc_varnames(listing_calculator(rule), &length);

	return rc_from_gbk(listing, length);
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

		tokens = lappend(tokens, pnstrdup(p, end - p));
		p = *end == ';' ? end + 1 : end;
	}
	return tokens;
}
