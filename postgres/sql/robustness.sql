-- Any input gives a verdict or an SQL error, and the session stays up.

-- Random characters as rules (ASCII with control characters, and Chinese).
SELECT setseed(0.25);
CREATE TABLE noise AS
  SELECT n, (SELECT string_agg(CASE WHEN random() < 0.8 THEN chr(1 + (random() * 126)::int)
                                    ELSE chr(19968 + (random() * 500)::int) END, '')
             FROM generate_series(1, 1 + (n % 60)) WHERE n > 0) AS rule
  FROM generate_series(1, 2000) n;
SELECT count(*) AS rules, count(v.status) AS verdicts
FROM noise, LATERAL rulecalc_eval(noise.rule, ROW(1, 'x')) v;
SELECT count(*) FROM noise, LATERAL rulecalc_tokens(noise.rule) t;
SELECT count(rulecalc_check(rule)) > 0 AS some_fail FROM noise;

-- A rule of a megabyte, valid and not.
SELECT (rulecalc_eval(repeat('F1 > 1 AND ', 90000) || 'F1 > 1;', ROW(2)::record)).status;
SELECT (rulecalc_eval(repeat('A > 1 AND ', 100000) || 'A > 1;', '{"a": 2}'::jsonb)).status;
SELECT (rulecalc_eval(repeat('((((+-*/', 130000) || ';', '{"a": 2}'::jsonb)).status;
SELECT count(*) FROM rulecalc_tokens(repeat('A > 1 AND ', 100000) || 'A > 1;');

-- Longer rules are refused (rulecalc.max_rule_bytes, 1MB by default).
SELECT rulecalc_holds(repeat('F1 > 1 AND ', 100000) || 'F1 > 1;', ROW(2));
SELECT count(*) FROM rulecalc_tokens(repeat('A', 1048577));

-- Deep nesting.
SELECT (rulecalc_eval(repeat('(', 100000) || 'A' || repeat(')', 100000) || ' > 1;', '{"a": 2}'::jsonb)).status;
SELECT (rulecalc_eval(repeat('LENGTH(', 5000) || 'A' || repeat(')', 5000) || ' > 1;', '{"a": "x"}'::jsonb)).status;

-- Ten thousand variables, all used.
SELECT (rulecalc_eval(
  (SELECT string_agg('V' || i || ' = ' || i, ' AND ') FROM generate_series(1, 10000) i) || ';',
  (SELECT jsonb_object_agg('v' || i, i) FROM generate_series(1, 10000) i))).*;

-- The cache stays within its size while rules come and go.
SET rulecalc.cache_size = 3;
SELECT count(*) FILTER (WHERE rulecalc_holds('F1 = ' || (i % 7) || ';', ROW(i % 7))) FROM generate_series(1, 700) i;
SELECT rules FROM rulecalc_cache_usage();
RESET rulecalc.cache_size;

-- And within its memory: an analysed rule of 44 kB takes some 16MB, so of
-- two such rules a 20MB cache keeps the one last used.
SET rulecalc.cache_bytes = '20MB';
SELECT rulecalc_holds(repeat('F1 > 1 AND ', 4000) || 'F1 > 1;', ROW(2)),
       rulecalc_holds(repeat('F1 > 2 AND ', 4000) || 'F1 > 1;', ROW(2));
SELECT rules, bytes BETWEEN 10000000 AND 20 * 1024 * 1024 AS within_budget FROM rulecalc_cache_usage();
RESET rulecalc.cache_bytes;

-- Rule sets too: with no memory to spare, two sets in one query close each
-- other on every row and are built again, giving the same verdicts.
SET rulecalc.cache_bytes = 0;
SELECT count(*) FILTER (WHERE a[1]) AS above, count(*) FILTER (WHERE b[1]) AS below
FROM generate_series(1, 500) i, LATERAL rulecalc_holds_set(ARRAY['F1 > 250;'], ROW(i)) a,
     LATERAL rulecalc_holds_set(ARRAY['F1 <= 100;'], ROW(i)) b;
RESET rulecalc.cache_bytes;

-- A cancelled query stops the analysis and the listing of a long rule, and
-- the half-analysed rule is not kept.
SET rulecalc.max_rule_bytes = '16MB';
SET statement_timeout = '200ms';
SELECT rulecalc_holds(repeat('F1 > 1 AND ', 1100000) || 'F1 > 1;', ROW(2));
SELECT count(*) FROM rulecalc_tokens(repeat('F1 > 1 AND ', 1100000) || 'F1 > 1;');
RESET statement_timeout;
RESET rulecalc.max_rule_bytes;
SELECT rules FROM rulecalc_cache_usage();

-- A long query can be cancelled.
SET statement_timeout = '200ms';
SELECT count(*) FROM generate_series(1, 100000000) i WHERE rulecalc_holds('F1 > 0;', ROW(i));
RESET statement_timeout;
SELECT rulecalc_holds('F1 > 0;', ROW(1)) AS still_up;
