\echo Use "CREATE EXTENSION rulecalc" to load this file. \quit

CREATE TYPE rulecalc_verdict AS (
  held boolean,       -- true, false, or NULL after an error
  status text,        -- 'held', 'failed', 'runtime error', 'analysis error'
  explanation text,   -- why a failed rule failed
  error text          -- the message of an analysis or run-time error
);

CREATE FUNCTION rulecalc_eval(rule text, record anyelement)
RETURNS rulecalc_verdict
AS 'MODULE_PATHNAME', 'rulecalc_eval_record'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_eval(rule text, vars jsonb)
RETURNS rulecalc_verdict
AS 'MODULE_PATHNAME', 'rulecalc_eval_jsonb'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_holds(rule text, record anyelement)
RETURNS boolean
AS 'MODULE_PATHNAME', 'rulecalc_holds_record'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_holds(rule text, vars jsonb)
RETURNS boolean
AS 'MODULE_PATHNAME', 'rulecalc_holds_jsonb'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_check(rule text)
RETURNS text
AS 'MODULE_PATHNAME', 'rulecalc_check_record'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_check(rule text, record anyelement)
RETURNS text
AS 'MODULE_PATHNAME', 'rulecalc_check_record'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_warnings(rule text)
RETURNS text
AS 'MODULE_PATHNAME', 'rulecalc_warnings_record'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_warnings(rule text, record anyelement)
RETURNS text
AS 'MODULE_PATHNAME', 'rulecalc_warnings_record'
LANGUAGE C STABLE PARALLEL SAFE;

CREATE FUNCTION rulecalc_tokens(rule text)
RETURNS SETOF text
AS 'MODULE_PATHNAME', 'rulecalc_token_rows'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

CREATE FUNCTION rulecalc_varnames(rule text)
RETURNS SETOF text
AS 'MODULE_PATHNAME', 'rulecalc_varname_rows'
LANGUAGE C STABLE STRICT PARALLEL SAFE;

-- Many rules over one row, the row taken apart once: one row per rule, in
-- the order of the sentences. names may be NULL (then so is every rule).
CREATE FUNCTION rulecalc_eval_set(names text[], sentences text[], record anyelement)
RETURNS TABLE (rule text, held boolean, status text, explanation text, error text)
AS 'MODULE_PATHNAME', 'rulecalc_eval_set'
LANGUAGE C STABLE PARALLEL SAFE ROWS 10;

-- Whether each rule holds over the row, in the order of the sentences.
CREATE FUNCTION rulecalc_holds_set(sentences text[], record anyelement)
RETURNS boolean[]
AS 'MODULE_PATHNAME', 'rulecalc_holds_set'
LANGUAGE C STABLE PARALLEL SAFE;

-- The rules this session keeps analysed, and the memory they take (roughly).
CREATE FUNCTION rulecalc_cache_usage(OUT rules integer, OUT bytes bigint)
AS 'MODULE_PATHNAME', 'rulecalc_cache_usage'
LANGUAGE C VOLATILE PARALLEL RESTRICTED;
