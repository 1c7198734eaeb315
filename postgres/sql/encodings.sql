-- Texts in a UTF8 database go to the library as GBK and come back.
SELECT current_setting('server_encoding');
CREATE TABLE people (name text, city text);
INSERT INTO people VALUES ('张伟', '北京'), ('Ann', '上海');

-- A Chinese character is two GBK bytes; Chinese literals work, and
-- explanations come back in the database's encoding.
SELECT p.name, (rulecalc_eval('LENGTH(NAME) = 4 AND CITY = "北京";', p)).* FROM people p ORDER BY 1;
SELECT * FROM rulecalc_tokens('CITY = "北京";');

-- A character GBK lacks is an error (SQLSTATE 22P05) naming the column,
-- never a verdict.
CREATE FUNCTION sqlstate_of(rule text, value text) RETURNS text LANGUAGE plpgsql AS $$
BEGIN
  PERFORM rulecalc_eval(rule, ROW(value, 'x')::people);
  RETURN 'no error';
EXCEPTION WHEN OTHERS THEN
  RETURN SQLSTATE || ': ' || SQLERRM;
END $$;
SELECT sqlstate_of('LENGTH(NAME) > 0;', '김치');
SELECT sqlstate_of('LENGTH(NAME) > 0;', '😀');
SELECT sqlstate_of('LENGTH(NAME) > 0;', 'é');
SELECT rulecalc_eval('CITY = "김";', p) FROM people p;
SELECT rulecalc_eval('A = 1;', '{"a": "😀"}'::jsonb);
-- Only the columns the rule uses are converted.
SELECT rulecalc_holds('LENGTH(CITY) = 2;', ROW('😀', 'xy')::people);

-- A LATIN1 database: its characters that GBK has (the pinyin letters such
-- as é) convert, the others are refused.
CREATE DATABASE rulecalc_latin1 ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;
\c rulecalc_latin1
SET client_encoding = 'UTF8';
CREATE EXTENSION rulecalc;
SELECT rulecalc_holds('LENGTH(F1) = 2;', ROW('é')), (rulecalc_eval('F1 = "è";', ROW('é'))).explanation;
SELECT rulecalc_holds('LENGTH(F1) > 0;', ROW('ä'));
\c rulecalc_regress
DROP DATABASE rulecalc_latin1;
