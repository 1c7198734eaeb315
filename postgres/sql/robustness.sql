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
SELECT (rulecalc_eval(repeat('F1 > 1 AND ', 100000) || 'F1 > 1;', ROW(2)::record)).status;
SELECT (rulecalc_eval(repeat('A > 1 AND ', 100000) || 'A > 1;', '{"a": 2}'::jsonb)).status;
SELECT (rulecalc_eval(repeat('((((+-*/', 130000) || ';', '{"a": 2}'::jsonb)).status;
SELECT count(*) FROM rulecalc_tokens(repeat('A > 1 AND ', 100000) || 'A > 1;');

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
RESET rulecalc.cache_size;

-- A long query can be cancelled.
SET statement_timeout = '200ms';
SELECT count(*) FROM generate_series(1, 100000000) i WHERE rulecalc_holds('F1 > 0;', ROW(i));
RESET statement_timeout;
SELECT rulecalc_holds('F1 > 0;', ROW(1)) AS still_up;
