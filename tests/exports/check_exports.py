#!/usr/bin/env python3
"""Checks that the shared library exports exactly the ten functions and the
handle family; with --batch LIBRARY HEADER, that the batch engine's library
exports exactly the functions its header declares."""

import re
import subprocess
import sys

EXPECTED = {"SetSentence", "GetTokens", "GetNumbers", "GetVarnames", "ClearMemory",
            "SetVarValue", "Analyse", "GetAnalyseError", "Run", "GetRuntimeError",
            "rulecalc_version", "rulecalc_open", "rulecalc_close", "rulecalc_set_sentence",
            "rulecalc_tokens", "rulecalc_numbers", "rulecalc_varnames", "rulecalc_clear",
            "rulecalc_set_variable", "rulecalc_analyse", "rulecalc_analyse_error", "rulecalc_run",
            "rulecalc_runtime_error", "rulecalc_set_date_order", "rulecalc_set_date_separator",
            "rulecalc_set_current_year", "rulecalc_set_language", "rulecalc_warning_count", "rulecalc_warning", "rulecalc_run_rows",
            "rulecalc_row_text", "rulecalc_set_interrupt",
            "rulecalc_failed_clause_count", "rulecalc_failed_clause",
            "rulecalc_analysis_stop", "rulecalc_memory_ran_out", "rulecalc_read_number",
            "rulecalc_listing_item_count", "rulecalc_listing_item",
            "rulecalc_set_notes", "rulecalc_note_count", "rulecalc_note",
            "rulecalc_bind_variable", "rulecalc_set_number", "rulecalc_set_text",
            "rulecalc_rules_open", "rulecalc_rules_close", "rulecalc_rules_bind", "rulecalc_rules_set_number", "rulecalc_rules_set_text", "rulecalc_rules_add", "rulecalc_rules_count", "rulecalc_rules_name", "rulecalc_rules_run", "rulecalc_rules_text", "rulecalc_rules_rule"}


def exported_by(library):
    listing = subprocess.run(["nm", "-D", "--defined-only", library], check=True,
                             stdout=subprocess.PIPE, universal_newlines=True).stdout
    return {line.split()[-1] for line in listing.splitlines() if line.strip()}


def declared_in(header):
    """The functions a header declares with RULECALC_BATCH_API."""
    with open(header, encoding="utf-8") as text:
        return set(re.findall(r"^RULECALC_BATCH_API[^;(]*?\b(\w+)\s*\(", text.read(), re.MULTILINE))


def main():
    if sys.argv[1] == "--batch":
        return compared(exported_by(sys.argv[2]), declared_in(sys.argv[3]), "exactly the batch header's functions")
    return compared(exported_by(sys.argv[1]), EXPECTED, "exactly the ten exports and the handle family")


def compared(exported, expected, what):
    if exported != expected:
        print("unexpected exports:", sorted(exported - expected))
        print("missing exports:", sorted(expected - exported))
        return 1
    print(what)
    return 0


if __name__ == "__main__":
    sys.exit(main())
