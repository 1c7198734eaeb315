-- Every function over a small table, with NULLs.
CREATE TABLE applicants (id int, name text, age int, score numeric);
INSERT INTO applicants VALUES
  (1, '张伟', 20, 75), (2, 'Li', 16, 75), (3, NULL, NULL, NULL), (4, 'Wang', 17, 90);

SELECT a.id, (rulecalc_eval('IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;', a)).*
FROM applicants a ORDER BY a.id;

-- The same rule in a WHERE clause.
SELECT id FROM applicants a WHERE rulecalc_holds('IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;', a) ORDER BY id;

-- A rule that does not analyse: an analysis-error verdict, an SQL error from rulecalc_holds.
SELECT (rulecalc_eval('IF AGE>=18 THEN SCORE >= ;', a)).* FROM applicants a WHERE id = 1;
SELECT rulecalc_holds('IF AGE>=18 THEN SCORE >= ;', a) FROM applicants a WHERE id = 1;

-- A NULL rule gives NULL; a NULL row gives its columns as NULLs.
SELECT rulecalc_eval(NULL, a) IS NULL AS null_rule, rulecalc_holds(NULL, a) IS NULL AS null_holds
FROM applicants a WHERE id = 1;
SELECT (rulecalc_eval('NVL(AGE, 7) = 7 AND NAME = "";', NULL::applicants)).*;

-- rulecalc_check: NULL when the rule analyses with the row's types.
SELECT rulecalc_check('IF AGE>=18 THEN SCORE>=60;', NULL::applicants) AS fine,
       rulecalc_check('IF AGE>=18 THEN SCORE >= ;', NULL::applicants) AS syntax,
       rulecalc_check('AGE > 1;') AS no_variables,
       rulecalc_check('HEIGHT > 1;', NULL::applicants) AS unknown_column;

-- rulecalc_warnings: where a rule mixes types.
SELECT rulecalc_warnings('NAME > 1 AND AGE > 1;', NULL::applicants) AS mixed,
       rulecalc_warnings('AGE > 1;', NULL::applicants) AS clean;

-- Tokens and variable names.
SELECT * FROM rulecalc_tokens('IF A>1 THEN B="x;y";');
SELECT * FROM rulecalc_varnames('a + A + b1 + B1 > 0;');
SELECT count(*) FROM rulecalc_tokens('');
SELECT count(*) FROM rulecalc_tokens(NULL);

-- jsonb objects: numbers, strings and nulls.
SELECT (rulecalc_eval('A > 1 AND B = "x" AND NVL(C, 5) = 5;', '{"a": 2, "b": "x", "c": null}'::jsonb)).*;
SELECT rulecalc_holds('A > 1;', '{"a": 0.5}'::jsonb);
SELECT (rulecalc_eval('A > 1;', NULL::jsonb)).error;
SELECT rulecalc_eval('A > 1;', '{"a": [1]}'::jsonb);
SELECT rulecalc_eval('A > 1;', '{"a": {"b": 1}}'::jsonb);
SELECT rulecalc_eval('A > 1;', '{"a": true}'::jsonb);
SELECT rulecalc_eval('A > 1;', '[1, 2]'::jsonb);

-- Only rows can be variables (and jsonb for rulecalc_eval and rulecalc_holds).
SELECT rulecalc_eval('A > 1;', 5);
SELECT rulecalc_check('A > 1;', NULL::jsonb);

-- Columns whose names differ only in letter case make a variable ambiguous.
SELECT rulecalc_eval('AGE > 1;', t) FROM (SELECT 1 AS age, 2 AS "AGE") t;
SELECT (rulecalc_eval('AGE > 1;', t)).held FROM (SELECT 1 AS age, 2 AS "AGE") t;
