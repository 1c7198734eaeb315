"""Prints the SQL that loads a rules file into the table "rules" (ord, id,
sentence) and sets the extension's date settings as the file's "@" lines say,
reading the file exactly as the batch tools do.

    python3 rules_as_sql.py RULES_FILE
"""

import sys

from rulecalc._batch.rules_file import read_rules_file


def sql_text(text):
    return "'" + text.replace("'", "''") + "'"


def main(path):
    rules_file = read_rules_file(path)
    if rules_file.date_order:
        print(f"SET rulecalc.date_order = {sql_text(rules_file.date_order)};")
    if rules_file.date_separator:
        print(f"SET rulecalc.date_separator = {sql_text(rules_file.date_separator)};")
    print("CREATE TABLE rules (ord int, id text, sentence text);")
    for number, rule in enumerate(rules_file.rules, 1):
        print(f"INSERT INTO rules VALUES ({number}, {sql_text(rule.id)}, {sql_text(rule.sentence)});")


if __name__ == "__main__":
    main(sys.argv[1])
