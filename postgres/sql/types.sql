-- How each column type becomes a variable.
CREATE DOMAIN positive AS int CHECK (VALUE > 0);
CREATE TABLE typed (
  i2 smallint, i4 int, i8 bigint, f4 real, f8 double precision, n numeric(10,3), p positive,
  b boolean, d date, ts timestamp, tz timestamptz,
  t text, v varchar(10), c char(5), nm name, u uuid);
INSERT INTO typed VALUES
  (-2, 40000, 5000000, 1.5, 0.1, 12.345, 3, true, '2000-01-01', '2000-01-01 18:00', '2000-01-01 06:00+00',
   'text', 'varchar', 'ab', 'name', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11');
SET TIME ZONE 'UTC';

-- Numbers are numbers (arithmetic works), texts are texts (LENGTH counts bytes).
SELECT rulecalc_holds('I2 + I4 + I8 = 5039998 AND F4 * 2 = 3 AND F8 = 0.1 AND F4 - 1.4 > 0.09 AND N = 12.345 AND P = 3 AND B = 1;', r)
FROM typed r;
SELECT rulecalc_holds('LENGTH(T) = 4 AND LENGTH(V) = 7 AND C = "ab" AND LENGTH(C) = 2 AND NM = "name" AND LENGTH(U) = 36;', r)
FROM typed r;

-- Dates and timestamps are day numbers: 1 January 2000 is day 36526.
SELECT rulecalc_holds('D = 36526 AND TS = 36526.75 AND TZ = 36526.25;', r) FROM typed r;
SELECT rulecalc_holds('YEAR(D) = 2000 AND MONTH(TS) = 1 AND ADDMONTHS(D, 1) = 36557;', r) FROM typed r;
SELECT rulecalc_holds('F1 = -1 AND F2 = -1.5;', ROW('1899-12-29'::date, '1899-12-29 12:00'::timestamp));
SELECT rulecalc_holds('TOCHAR(f1, "yyyy-mm-dd") = "2024-02-29";', ROW('2024-02-29'::date));

-- SQL NULL is the null value of the column's type.
SELECT (rulecalc_eval('NVL(I4, -1) = -1 AND NVL(D, -1) = -1 AND T = "" AND LENGTH(C) = 0;', r)).*
FROM (SELECT NULL::int AS i4, NULL::date AS d, NULL::text AS t, NULL::char(3) AS c) r;

-- Values the library has no number for.
SELECT rulecalc_eval('F8 > 1;', r) FROM (SELECT 'NaN'::float8 AS f8) r;
SELECT rulecalc_eval('N > 1;', r) FROM (SELECT 'Infinity'::numeric AS n) r;
SELECT rulecalc_eval('D > 1;', r) FROM (SELECT 'infinity'::date AS d) r;
SELECT rulecalc_eval('TS > 1;', r) FROM (SELECT '-infinity'::timestamp AS ts) r;
SELECT rulecalc_holds('F1 = NULL;', ROW('1e400'::numeric));
SELECT rulecalc_holds('A = NULL;', '{"a": -1e309}'::jsonb);
SELECT rulecalc_holds('F1 = 0;', ROW('1e-400'::numeric)) AS too_small_is_zero;

-- A NUL cannot reach a rule: bytea goes as its text output, and jsonb
-- refuses "\u0000" itself.
SELECT rulecalc_holds('F1 = "\x610062";', ROW('a\000b'::bytea));
SELECT rulecalc_holds('A = "x";', '{"a": "\u0000"}'::jsonb);

-- Columns the rule does not use are not read.
SELECT rulecalc_holds('A = 1;', r) FROM (SELECT 1 AS a, 'NaN'::float8 AS unused) r;
