/*
 * Settings as configuration parameters. "auto" takes the date order and the
 * separator from the server's regional settings: the short date format of
 * the locale named by lc_time.
 */
#include "rulecalc_pg.h"

#include <langinfo.h>
#include <limits.h>
#include <locale.h>

#include "utils/guc.h"
#include "utils/memutils.h"

#define RC_DATE_ORDER_AUTO (-1)

static const struct config_enum_entry date_order_options[] = {
	{"auto", RC_DATE_ORDER_AUTO, false},
	{"mdy", RULECALC_DATE_MDY, false},
	{"dmy", RULECALC_DATE_DMY, false},
	{"ymd", RULECALC_DATE_YMD, false},
	{NULL, 0, false}
};

static const struct config_enum_entry language_options[] = {
	{"classic", RULECALC_LANGUAGE_CLASSIC, false},
	{"extended", RULECALC_LANGUAGE_EXTENDED, false},
	{NULL, 0, false}
};

static int	date_order_setting = RC_DATE_ORDER_AUTO;
static int	language_setting = RULECALC_LANGUAGE_CLASSIC;
static char *date_separator_setting = NULL;
static int	current_year_setting = 0;
static int	cache_capacity_setting = 64;
static int	cache_bytes_setting = 64 * 1024 * 1024;
static int	max_rule_bytes_setting = 1024 * 1024;

static bool
is_ascii_punctuation(char c)
{
	return c > 0x20 && c <= 0x7E && !isalnum((unsigned char) c);
}

static bool
check_date_separator(char **newval, void **extra, GucSource source)
{
	const char *value = *newval;

	if (strcmp(value, "auto") == 0 || (strlen(value) == 1 && is_ascii_punctuation(value[0])))
		return true;
	GUC_check_errdetail("The separator is \"auto\" or one ASCII punctuation character.");
	return false;
}

void
rc_define_settings(void)
{
	DefineCustomEnumVariable("rulecalc.date_order",
							 "Order of day, month and year in the dates TODATE reads and TOCHAR writes.",
							 "auto: the order of the short date format of lc_time.",
							 &date_order_setting, RC_DATE_ORDER_AUTO, date_order_options,
							 PGC_USERSET, 0, NULL, NULL, NULL);
	DefineCustomStringVariable("rulecalc.date_separator",
							   "Character between day, month and year in dates.",
							   "auto: the separator of the short date format of lc_time.",
							   &date_separator_setting, "auto",
							   PGC_USERSET, 0, check_date_separator, NULL, NULL);
	DefineCustomIntVariable("rulecalc.current_year",
							"The year rules take as the current one; 0 is the clock's.",
							NULL, &current_year_setting, 0, 0, 9999,
							PGC_USERSET, 0, NULL, NULL, NULL);
	DefineCustomEnumVariable("rulecalc.language",
							 "The rule language rules are read in.",
							 "classic: the language every rule has always been in; extended adds bracketed conditions, NOT, IN, IS EMPTY and more functions.",
							 &language_setting, RULECALC_LANGUAGE_CLASSIC, language_options,
							 PGC_USERSET, 0, NULL, NULL, NULL);
	DefineCustomIntVariable("rulecalc.cache_size",
							"Analysed rules each session keeps (least recently used go first).",
							NULL, &cache_capacity_setting, 64, 1, 10000,
							PGC_USERSET, 0, NULL, NULL, NULL);
	DefineCustomIntVariable("rulecalc.cache_bytes",
							"Memory the analysed rules of each session may take (least recently used go first).",
							"The rule in use stays even when it alone takes more.",
							&cache_bytes_setting, 64 * 1024 * 1024, 0, INT_MAX,
							PGC_USERSET, GUC_UNIT_BYTE, NULL, NULL, NULL);
	DefineCustomIntVariable("rulecalc.max_rule_bytes",
							"The longest rule, in bytes, that rulecalc takes.",
							"An analysed rule takes up to a few hundred times its length in memory.",
							&max_rule_bytes_setting, 1024 * 1024, 1, MaxAllocSize,
							PGC_USERSET, GUC_UNIT_BYTE, NULL, NULL, NULL);
	MarkGUCPrefixReserved("rulecalc");
}

int
rc_cache_capacity(void)
{
	return cache_capacity_setting;
}

size_t
rc_cache_budget(void)
{
	return (size_t) cache_bytes_setting;
}

void
rc_check_rule_size(size_t length)
{
	if (length > (size_t) max_rule_bytes_setting)
		ereport(ERROR,
				(errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
				 errmsg("rulecalc rule of %zu bytes is longer than rulecalc.max_rule_bytes (%d bytes)",
						length, max_rule_bytes_setting),
				 errhint("Raise rulecalc.max_rule_bytes to take longer rules; analysed, a rule takes up to a few hundred times its length in memory.")));
}

/* The order in which %d, %m and %y/%Y first appear in a strftime format. */
static int
order_of_format(const char *format)
{
	const char *day = NULL,
			   *month = NULL,
			   *year = NULL;

	for (const char *p = format; p[0] && p[1]; p++)
	{
		if (p[0] != '%')
			continue;
		p++;
		while (*p == '-' || *p == '_' || *p == '0' || *p == 'E' || *p == 'O')
			p++;
		if ((*p == 'd' || *p == 'e') && !day)
			day = p;
		else if ((*p == 'm' || *p == 'b' || *p == 'B') && !month)
			month = p;
		else if ((*p == 'y' || *p == 'Y') && !year)
			year = p;
		else if (*p == 'D')
			return RULECALC_DATE_MDY;
		else if (*p == 'F')
			return RULECALC_DATE_YMD;
		if (*p == '\0')
			break;
	}
	if (day && month && year && year < month && year < day)
		return RULECALC_DATE_YMD;
	if (day && month && day < month)
		return RULECALC_DATE_DMY;
	return RULECALC_DATE_MDY;
}

/* The first literal character other than a blank, when that is ASCII
 * punctuation; "/" otherwise. */
static char
separator_of_format(const char *format)
{
	for (const char *p = format; *p; p++)
	{
		if (*p == '%')
		{
			if (p[1] == 'D')
				return '/';
			if (p[1] == 'F')
				return '-';
			p += (p[1] != '\0');
			continue;
		}
		if (*p != ' ')
			return is_ascii_punctuation(*p) ? *p : '/';
	}
	return '/';
}

typedef struct RcRegional
{
	char		locale_name[128];
	int			date_order;
	char		date_separator;
} RcRegional;

/* The short date format of lc_time, read once per value of lc_time. */
static const RcRegional *
regional_settings(void)
{
	static RcRegional regional = {"", RULECALC_DATE_MDY, '/'};
	const char *name = GetConfigOption("lc_time", true, false);
	locale_t	locale;

	if (name == NULL)
		name = "C";
	if (regional.locale_name[0] && strcmp(regional.locale_name, name) == 0)
		return &regional;
	strlcpy(regional.locale_name, name, sizeof(regional.locale_name));
	regional.date_order = RULECALC_DATE_MDY;
	regional.date_separator = '/';
	locale = newlocale(LC_TIME_MASK, name, (locale_t) 0);
	if (locale != (locale_t) 0)
	{
		const char *format = nl_langinfo_l(D_FMT, locale);

		regional.date_order = order_of_format(format);
		regional.date_separator = separator_of_format(format);
		freelocale(locale);
	}
	return &regional;
}

RcSettings
rc_current_settings(void)
{
	RcSettings	settings;
	const char *separator = date_separator_setting ? date_separator_setting : "auto";
	bool		auto_separator = strcmp(separator, "auto") == 0;
	/* lc_time is looked up only when a setting asks for it. */
	const RcRegional *regional = date_order_setting == RC_DATE_ORDER_AUTO || auto_separator ? regional_settings() : NULL;

	settings.date_order = date_order_setting == RC_DATE_ORDER_AUTO ? regional->date_order : date_order_setting;
	settings.date_separator = auto_separator ? regional->date_separator : separator[0];
	settings.current_year = current_year_setting;
	settings.language = language_setting;
	return settings;
}
