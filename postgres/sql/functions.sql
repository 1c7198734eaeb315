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

-- Rule sets: a rules table joined to the rows, one call per row for all the
-- rules; the verdicts are rulecalc_eval's, rule by rule.
CREATE TABLE checks (ord int, name text, sentence text);
INSERT INTO checks VALUES
  (1, 'adult_score', 'IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;'),
  (2, 'named', 'LENGTH(NAME) > 0;'),
  (3, 'broken', 'IF AGE>=18 THEN SCORE >= ;'),
  (4, 'no_column', 'HEIGHT > 1;'),
  (5, 'no_sentence', NULL);
CREATE VIEW check_lists AS
  SELECT array_agg(name ORDER BY ord) AS names, array_agg(sentence ORDER BY ord) AS sentences FROM checks;
SELECT a.id, v.*
FROM applicants a, LATERAL rulecalc_eval_set((SELECT array_agg(name ORDER BY ord) FROM checks),
                                             (SELECT array_agg(sentence ORDER BY ord) FROM checks), a) v
ORDER BY a.id, v.rule;
SELECT count(*) AS verdicts,
       count(*) FILTER (WHERE (s.held, s.status, s.explanation, s.error) IS NOT DISTINCT FROM
                              (e.held, e.status, e.explanation, e.error)) AS same_as_eval
FROM applicants a, check_lists c,
     LATERAL rulecalc_eval_set(c.names, c.sentences, a) WITH ORDINALITY s
     JOIN checks k ON k.ord = s.ordinality,
     LATERAL rulecalc_eval(k.sentence, a) e
WHERE k.sentence IS NOT NULL;

-- rulecalc_holds_set: a boolean per rule; NULL after a run-time error and
-- for a NULL sentence; a rule that does not analyse is an SQL error.
SELECT id, rulecalc_holds_set(ARRAY['AGE >= 18;', 'TODATE("x") > 1;', NULL, 'NVL(SCORE, 0) > 70;'], a)
FROM applicants a ORDER BY id;
SELECT rulecalc_holds_set(ARRAY['AGE > 1;', 'AGE >= ;'], a) FROM applicants a WHERE id = 1;

-- NULLs and empty lists: no names, no sentences, no row.
SELECT rule IS NULL AS unnamed, status FROM rulecalc_eval_set(NULL, ARRAY['AGE > 1;'], NULL::applicants);
SELECT count(*) FROM rulecalc_eval_set(ARRAY['a'], NULL, NULL::applicants);
SELECT count(*) FROM rulecalc_eval_set('{}', '{}', NULL::applicants);
SELECT rulecalc_holds_set(NULL, ROW(1)) IS NULL AS null_list, rulecalc_holds_set('{}', ROW(1)) AS empty_list;

-- Lists that do not pair up, and rows that are not rows.
SELECT * FROM rulecalc_eval_set(ARRAY['a', 'b'], ARRAY['AGE > 1;'], NULL::applicants);
SELECT * FROM rulecalc_eval_set(NULL, ARRAY[['AGE > 1;'], ['AGE > 2;']], NULL::applicants);
SELECT rulecalc_holds_set(ARRAY['A > 1;'], 5);
SELECT rulecalc_holds_set(ARRAY['AGE > 1;'], t) FROM (SELECT 1 AS age, 2 AS "AGE") t;
