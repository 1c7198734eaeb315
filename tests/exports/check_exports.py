#!/usr/bin/env python3
"""Checks that the shared library exports exactly the ten functions."""

import subprocess
import sys

EXPECTED = {"SetSentence", "GetTokens", "GetNumbers", "GetVarnames", "ClearMemory",
            "SetVarValue", "Analyse", "GetAnalyseError", "Run", "GetRuntimeError"}


def main():
    library = sys.argv[1]
    listing = subprocess.run(["nm", "-D", "--defined-only", library], check=True,
                             stdout=subprocess.PIPE, universal_newlines=True).stdout
    exported = {line.split()[-1] for line in listing.splitlines() if line.strip()}
    if exported != EXPECTED:
        print("unexpected exports:", sorted(exported - EXPECTED))
        print("missing exports:", sorted(EXPECTED - exported))
        return 1
    print("exactly the ten exports")
    return 0


if __name__ == "__main__":
    sys.exit(main())
