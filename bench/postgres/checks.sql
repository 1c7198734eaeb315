-- The nine example checks written by hand as SQL expressions, the way a
-- database administrator would write them (one count per check).
SELECT
  count(*) FILTER (WHERE char_length(name) BETWEEN 2 AND 4) AS name_length,
  count(*) FILTER (WHERE length(phone) = 11 AND left(phone, 1) = '1') AS phone,
  count(*) FILTER (WHERE strpos(email, '@') > 1 AND strpos(substr(email, strpos(email, '@')), '.') > 2) AS email,
  count(*) FILTER (WHERE length(idno) = 18
                     AND substr(idno, 7, 8) = to_char(to_date(birth, 'MM/DD/YYYY'), 'YYYYMMDD')) AS id_number,
  count(*) FILTER (WHERE to_date(birth, 'MM/DD/YYYY') + interval '216 months' <= to_date(applied, 'MM/DD/YYYY')) AS adult,
  count(*) FILTER (WHERE extract(year FROM to_date(applied, 'MM/DD/YYYY'))
                       - extract(year FROM to_date(birth, 'MM/DD/YYYY')) <= 35) AS young,
  count(*) FILTER (WHERE CASE WHEN household > 0 THEN coalesce(income, 0) / household < 8000
                              ELSE coalesce(income, 0) < 8000 END) AS income,
  count(*) FILTER (WHERE CASE WHEN city IN ('北京', '上海') THEN months_employed >= 24
                              ELSE months_employed >= 12 END) AS employment,
  count(*) FILTER (WHERE strpos(address, '区') > 0) AS address
FROM applicants;
