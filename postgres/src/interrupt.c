/*
 * Cancellation inside the library. A long analysis, run or listing asks the
 * check below every so many steps; the check only reads the server's
 * interrupt flags and remembers that it said stop. The SQL error (a long
 * jump) is raised here, after the library has returned, so it never
 * crosses the library's frames.
 */
#include "rulecalc_pg.h"

#include "miscadmin.h"

static bool stop_said = false;

/* Stop for a cancelled query (statement_timeout, pg_cancel_backend) and for
 * a backend asked to end. */
static int	RULECALC_CDECL
query_stopping(void *data)
{
	if (InterruptPending && (QueryCancelPending || ProcDiePending))
	{
		stop_said = true;
		return 1;
	}
	return 0;
}

void
rc_watch_interrupts(rulecalc_handle *calc)
{
	rulecalc_set_interrupt(calc, query_stopping, NULL);
}

void
rc_library_call_begins(void)
{
	stop_said = false;
}

bool
rc_library_call_stopped(void)
{
	return stop_said;
}

void
rc_raise_stop(void)
{
	stop_said = false;
	CHECK_FOR_INTERRUPTS();
	/* Interrupts held off: the call still ends, as a cancelled one. */
	ereport(ERROR,
			(errcode(ERRCODE_QUERY_CANCELED),
			 errmsg("rulecalc stopped on a request to cancel the query")));
}
