#!/usr/bin/env python3
"""Runs the same call scripts through the shared library (the scenario
driver) and through an independent C++ instance (the instance driver), and
requires byte-identical output.

The scripts are those of every black-box scenario file (made by the scenario
runner's own parser, so both see exactly the calls the scenarios make) and
one script that puts every seed sentence of the sentence fuzzer through the
host's calling order with a fixed variable table.

Only the Python standard library is used.
"""

import argparse
import pathlib
import subprocess
import sys

# Name, value and type code of the sentence fuzzer's fixed variables.
SEED_VARIABLES = [
    (b"A", b"5", 0), (b"B", b"-2.5", 0), (b"C", b"", 0), (b"D", b"45356.5", 0), (b"E", b"1e308", 0),
    (b"F", b"-657434", 0), (b"G", b"2958465.999", 0), (b"H", b"abc", 0), (b"S", b"abcdef", 1),
    (b"T", b"", 1), (b"U", b"\xd6\xd0\xce\xc4", 1), (b"V", b"v" * 300, 1), (b"Q", b"7", 2), (b"R", b"x", -1),
]


def hex_text(data):
    return b"x" + data.hex().encode("ascii")


def seed_script(folder):
    lines = []
    for path in sorted(pathlib.Path(folder).iterdir()):
        sentence = path.read_bytes().split(b"\0")[0]
        lines.append(b"ClearMemory")
        lines += [b"SetVarValue %s %s %d" % (hex_text(n), hex_text(v), t) for n, v, t in SEED_VARIABLES]
        lines.append(b"SetSentence " + hex_text(sentence))
        lines += [b"GetTokens", b"GetNumbers", b"GetVarnames"]
        lines += [b"Analyse", b"GetAnalyseError", b"Run", b"GetRuntimeError"] * 2
    return b"\n".join(lines) + b"\n"


def run(command, script):
    done = subprocess.run(command, input=script, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=300, check=False)
    if done.returncode != 0:
        raise RuntimeError("%s failed (exit %d): %s" % (command[0], done.returncode,
                                                         done.stderr.decode(errors="replace").strip()))
    return done.stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--driver", required=True, help="the scenario driver (loads the library)")
    parser.add_argument("--library", required=True, help="the shared library")
    parser.add_argument("--instance-driver", required=True, help="the instance driver")
    parser.add_argument("--scenarios", required=True, help="folder of the scenario files and their runner")
    parser.add_argument("--seeds", help="folder of the sentence fuzzer's seeds")
    args = parser.parse_args()

    sys.path.insert(0, args.scenarios)
    import run_scenarios  # the scenario runner: its parser turns a file into driver calls

    scripts = []
    for path in sorted(pathlib.Path(args.scenarios).glob("*.scn")):
        scripts.append((str(path), run_scenarios.driver_input(run_scenarios.parse_file(str(path)))))
    if args.seeds:
        scripts.append(("seed sentences", seed_script(args.seeds)))

    failures = 0
    for name, script in scripts:
        library = run([args.driver, args.library], script)
        instance = run([args.instance_driver], script)
        calls = script.count(b"\n")
        if library == instance:
            print("same %s (%d calls)" % (name, calls))
        else:
            failures += 1
            print("DIFF %s: %s" % (name, run_scenarios.first_difference(library, instance, ("library ", "instance"))))
    print("%d script(s), %d difference(s)" % (len(scripts), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
