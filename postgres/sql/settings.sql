-- Date settings as configuration parameters; "auto" follows lc_time (C here:
-- month/day/year with "/").
SELECT rulecalc_holds('1 = 1;', ROW(1)) AS loaded;
SHOW rulecalc.date_order;
SHOW rulecalc.date_separator;
SHOW rulecalc.max_rule_bytes;
SHOW rulecalc.cache_bytes;
SELECT rulecalc_holds('TODATE(F1) = 36557;', ROW('02/01/2000'));
SET rulecalc.date_order = 'dmy';
SELECT rulecalc_holds('TODATE(F1) = 36557;', ROW('01/02/2000'));
SET rulecalc.date_separator = '.';
SELECT rulecalc_holds('TODATE(F1) = 36557;', ROW('01.02.2000'));
SELECT (rulecalc_eval('TOCHAR(F1, "dd/mm/yyyy") = "01.02.2000";', ROW(36557))).status;
SET rulecalc.date_order = 'ymd';
SET rulecalc.date_separator = '-';
SELECT rulecalc_holds('TODATE(F1) = 36557;', ROW('2000-02-01'));
RESET rulecalc.date_order;
RESET rulecalc.date_separator;
SET lc_time = 'C.UTF-8';
SELECT rulecalc_holds('TODATE(F1) = 36557;', ROW('02/01/2000'));
RESET lc_time;

-- The year rules take as the current one.
SET rulecalc.current_year = 1999;
SELECT rulecalc_holds('YEAR(TODATE(F1)) = 1999;', ROW('03/04'));
RESET rulecalc.current_year;

-- The language rules are read in: in the extended one NOT is no variable's
-- name, and the cache keeps the two languages' analyses apart.
SELECT rulecalc_holds('NOT>1;', '{"NOT": 2}'::jsonb);
SET rulecalc.language = 'extended';
SHOW rulecalc.language;
SELECT rulecalc_holds('NOT>1;', '{"NOT": 2}'::jsonb);
SELECT rulecalc_eval('(CITY IN ("北京", "上海") OR A>5) AND NOT A IS EMPTY;', '{"CITY": "广州", "A": 1}'::jsonb);
RESET rulecalc.language;
SELECT rulecalc_holds('NOT>1;', '{"NOT": 2}'::jsonb);

-- Invalid values are refused.
SET rulecalc.date_order = 'myd';
SET rulecalc.date_separator = 'ab';
SET rulecalc.date_separator = 'x';
SET rulecalc.current_year = -1;
SET rulecalc.language = 'modern';
SET rulecalc.cache_size = 0;
