"""SQL from a rules file, read by the batch engine exactly as the tool reads it.

    python3 rules_as_sql.py RULES_FILE
        the SQL that loads the rules into the table "rules" (ord, id,
        sentence) and sets the extension's date settings as the file's "@"
        lines say;
    python3 rules_as_sql.py --count TABLE RULES_FILE
        one SELECT of TABLE's rows counted (column "rows") and, per rule, a
        column named by its id: the rows for which it holds;
    python3 rules_as_sql.py --count-set TABLE RULES_FILE
        the same counts from one rulecalc_holds_set call per row over the
        sentences of the table "rules".
"""

import sys

from rulecalc._engine import Batch, EngineError


def sql_text(text):
    return "'" + text.replace("'", "''") + "'"


def sql_name(text):
    return '"' + text.replace('"', '""') + '"'


def read_rules(path):
    """The rules (id, sentence) and the date order and separator ("" for none)."""
    batch = Batch()
    batch.read_rules(path)
    rules = [(rule_id, sentence.decode("gbk")) for rule_id, _, sentence, _ in batch.rules()]
    return rules, batch.rules_date_reading()


def settings_sql(order, separator):
    if order:
        print(f"SET rulecalc.date_order = {sql_text(order)};")
    if separator:
        print(f"SET rulecalc.date_separator = {sql_text(separator)};")


def load_sql(path):
    rules, (order, separator) = read_rules(path)
    settings_sql(order, separator)
    print("CREATE TABLE rules (ord int, id text, sentence text);")
    for number, (rule_id, sentence) in enumerate(rules, 1):
        print(f"INSERT INTO rules VALUES ({number}, {sql_text(rule_id)}, {sql_text(sentence)});")


def count_sql(table, path):
    rules, (order, separator) = read_rules(path)
    settings_sql(order, separator)
    print("SELECT count(*) AS rows")
    for rule_id, sentence in rules:
        print(f"  , count(*) FILTER (WHERE (rulecalc_eval({sql_text(sentence)}, t)).held) AS {sql_name(rule_id)}")
    print(f"FROM {table} t;")


def count_set_sql(table, path):
    rules, (order, separator) = read_rules(path)
    settings_sql(order, separator)
    print("SELECT count(*) AS rows")
    for number, (rule_id, _) in enumerate(rules, 1):
        print(f"  , count(*) FILTER (WHERE held[{number}]) AS {sql_name(rule_id)}")
    print(f"FROM {table} t, LATERAL rulecalc_holds_set((SELECT array_agg(sentence ORDER BY ord) FROM rules), t) AS v(held);")


def main(arguments):
    try:
        if arguments[:1] == ["--count"] and len(arguments) == 3:
            count_sql(arguments[1], arguments[2])
        elif arguments[:1] == ["--count-set"] and len(arguments) == 3:
            count_set_sql(arguments[1], arguments[2])
        elif len(arguments) == 1:
            load_sql(arguments[0])
        else:
            sys.exit(__doc__)
    except EngineError as error:
        sys.exit("rules_as_sql.py: %s" % error)


if __name__ == "__main__":
    main(sys.argv[1:])
