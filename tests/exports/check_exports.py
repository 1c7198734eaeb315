#!/usr/bin/env python3
"""Checks that the shared library exports exactly the ten functions and the handle family,
and, when given, that the batch engine library exports exactly the functions its header declares."""

import re
import subprocess
import sys

EXPECTED = {"SetSentence", "GetTokens", "GetNumbers", "GetVarnames", "ClearMemory",
            "SetVarValue", "Analyse", "GetAnalyseError", "Run", "GetRuntimeError",
            "rulecalc_version", "rulecalc_open", "rulecalc_close", "rulecalc_set_sentence",
            "rulecalc_tokens", "rulecalc_numbers", "rulecalc_varnames", "rulecalc_clear",
            "rulecalc_set_variable", "rulecalc_analyse", "rulecalc_analyse_error", "rulecalc_run",
            "rulecalc_runtime_error", "rulecalc_set_date_order", "rulecalc_set_date_separator",
            "rulecalc_set_current_year", "rulecalc_warning_count", "rulecalc_warning", "rulecalc_run_rows",
            "rulecalc_row_text", "rulecalc_set_interrupt",
            "rulecalc_failed_clause_count", "rulecalc_failed_clause",
            "rulecalc_analysis_stop", "rulecalc_memory_ran_out", "rulecalc_read_number",
            "rulecalc_listing_item_count", "rulecalc_listing_item"}


def exports_of(library):
    listing = subprocess.run(["nm", "-D", "--defined-only", library], check=True,
                             stdout=subprocess.PIPE, universal_newlines=True).stdout
    return {line.split()[-1] for line in listing.splitlines() if line.strip()}


def declared_in(header):
    text = open(header, encoding="utf-8").read()
    return set(re.findall(r"RULECALC_BATCH_API\b[^;(]*?\b(rulecalc_\w+)\s*\(", text))


def same(exported, expected, what):
    if exported == expected:
        print("exactly", what)
        return True
    print("unexpected exports:", sorted(exported - expected))
    print("missing exports:", sorted(expected - exported))
    return False


def main():
    whole = same(exports_of(sys.argv[1]), EXPECTED, "the ten exports and the handle family")
    if len(sys.argv) > 3:
        whole = same(exports_of(sys.argv[2]), declared_in(sys.argv[3]),
                     "the functions of rulecalc_batch.h") and whole
    return 0 if whole else 1


if __name__ == "__main__":
    sys.exit(main())
