/*
 * A list of cached things, newest first, from which the least recently used
 * is closed when room is needed: the analysed rules and the rule sets.
 */
#include "postgres.h"

#include "rulecalc_pg.h"

void
rc_lru_unlink(RcLru *list, RcLruNode *node)
{
	if (node->newer)
		node->newer->older = node->older;
	else
		list->newest = node->older;
	if (node->older)
		node->older->newer = node->newer;
	else
		list->oldest = node->newer;
	node->newer = node->older = NULL;
	list->count--;
}

void
rc_lru_link_newest(RcLru *list, RcLruNode *node)
{
	node->older = list->newest;
	node->newer = NULL;
	if (list->newest)
		list->newest->newer = node;
	list->newest = node;
	if (list->oldest == NULL)
		list->oldest = node;
	list->count++;
}

void
rc_lru_touch(RcLru *list, RcLruNode *node)
{
	rc_lru_unlink(list, node);
	rc_lru_link_newest(list, node);
}
