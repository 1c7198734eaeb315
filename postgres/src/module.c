/*
 * The extension's entry: settings, and closing every calculator when the
 * session's process ends.
 */
#include "rulecalc_pg.h"

#include "storage/ipc.h"

PG_MODULE_MAGIC;

void		_PG_init(void);

static void
close_calculators(int code, Datum arg)
{
	rc_close_all(code, arg);
	rc_close_rule_sets();
	rc_close_lister();
}

void
_PG_init(void)
{
	rc_define_settings();
	on_proc_exit(close_calculators, (Datum) 0);
}
