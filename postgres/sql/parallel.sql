-- A parallel sequential scan evaluates the rules in its workers and gives
-- the verdicts a serial scan gives.
CREATE TABLE rows AS
  SELECT i AS id, (i::bigint * 7919) % 100 AS age, (i::bigint * 104729) % 101 AS score,
         CASE WHEN i % 3 = 0 THEN NULL ELSE 'N' || (i % 1000) END AS name
  FROM generate_series(1, 1000000) i;
ANALYZE rows;

CREATE VIEW verdicts AS
  SELECT count(*) AS rows,
         count(*) FILTER (WHERE v.held) AS held,
         sum(hashtext(r.id || ':' || coalesce(v.explanation, '')) :: bigint) AS fingerprint
  FROM rows r, LATERAL rulecalc_eval('IF AGE >= 18 THEN SCORE >= 60 AND LENGTH(NAME) > 1 ELSE SCORE >= 80;', r) v;

SET max_parallel_workers_per_gather = 0;
CREATE TEMP TABLE serial AS SELECT * FROM verdicts;

SET max_parallel_workers_per_gather = 2;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
-- Two workers and the leader each scan a part of the table (loops=3) and
-- evaluate the rule on it.
EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF, SUMMARY OFF) SELECT * FROM verdicts;
CREATE TEMP TABLE parallel AS SELECT * FROM verdicts;

SELECT s.rows, s.held, s.fingerprint = p.fingerprint AND s.held = p.held AND s.rows = p.rows AS same
FROM serial s, parallel p;

-- The set form, too, gives in parallel the counts it gives serially.
CREATE VIEW set_counts AS
  SELECT count(*) FILTER (WHERE h[1]) AS first, count(*) FILTER (WHERE h[2]) AS second
  FROM (SELECT rulecalc_holds_set(ARRAY['IF AGE >= 18 THEN SCORE >= 60 ELSE SCORE >= 80;', 'LENGTH(NAME) > 2;'], r) h
        FROM rows r) s;
SET max_parallel_workers_per_gather = 0;
CREATE TEMP TABLE set_serial AS SELECT * FROM set_counts;
SET max_parallel_workers_per_gather = 2;
EXPLAIN (COSTS OFF) SELECT * FROM set_counts;
CREATE TEMP TABLE set_parallel AS SELECT * FROM set_counts;
SELECT s.first = p.first AND s.second = p.second AS same FROM set_serial s, set_parallel p;
