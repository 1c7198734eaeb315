#!/usr/bin/env python3
"""Checks the 32-bit Windows build of the rule calculator from its binaries.

For the DLL it proves, from `objdump -p` and `objdump -d`:
  * it is a 32-bit x86 DLL that imports only DLLs every Windows has;
  * the export table holds exactly the ten functions and the handle
    functions, under their plain names;
  * SetSentence and SetVarValue return with `ret $0x4` and `ret $0xc` (the
    callee removes its 4 and 12 bytes of arguments: __stdcall), and the other
    eight return with a plain `ret` (no arguments), as does every handle
    function (__cdecl: the caller removes the arguments);
  * DllMain returns TRUE and does nothing else, whatever the notification.
For the scenario driver (optional) it proves that the program imports only
system DLLs: it reaches the library through LoadLibraryA/GetProcAddress alone.

Return instructions are collected over every path of an export's code: when
the compiler turns a call into a jump to another function (a tail call, as it
does from the exports into the calculator's member functions, which remove
their own arguments too), the returns of the jumped-to function count.

Usage: check_windows_dll.py [--objdump PROG] DLL [DRIVER_EXE]
Only the Python standard library is used.
"""

import argparse
import re
import subprocess
import sys

EXPORTS = {
    "SetSentence": "ret $0x4",
    "GetTokens": "ret",
    "GetNumbers": "ret",
    "GetVarnames": "ret",
    "ClearMemory": "ret",
    "SetVarValue": "ret $0xc",
    "Analyse": "ret",
    "GetAnalyseError": "ret",
    "Run": "ret",
    "GetRuntimeError": "ret",
}
# The handle functions use the C calling convention: the caller removes the
# arguments, so each returns with a plain `ret`.
HANDLE_FUNCTIONS = [
    "rulecalc_version", "rulecalc_open", "rulecalc_close", "rulecalc_set_sentence",
    "rulecalc_tokens", "rulecalc_numbers", "rulecalc_varnames", "rulecalc_clear",
    "rulecalc_set_variable", "rulecalc_analyse", "rulecalc_analyse_error", "rulecalc_run",
    "rulecalc_runtime_error", "rulecalc_set_date_order", "rulecalc_set_date_separator",
    "rulecalc_set_current_year", "rulecalc_set_language", "rulecalc_warning_count", "rulecalc_warning", "rulecalc_run_rows",
    "rulecalc_row_text", "rulecalc_set_interrupt", "rulecalc_failed_clause_count", "rulecalc_failed_clause",
    "rulecalc_analysis_stop", "rulecalc_memory_ran_out", "rulecalc_read_number", "rulecalc_listing_item_count",
    "rulecalc_listing_item", "rulecalc_set_notes", "rulecalc_note_count", "rulecalc_note",
    "rulecalc_bind_variable", "rulecalc_set_number", "rulecalc_set_text",
    "rulecalc_rules_open", "rulecalc_rules_close", "rulecalc_rules_bind", "rulecalc_rules_set_number", "rulecalc_rules_set_text", "rulecalc_rules_add", "rulecalc_rules_count", "rulecalc_rules_name", "rulecalc_rules_run", "rulecalc_rules_text", "rulecalc_rules_rule",
]
EXPORTS.update({name: "ret" for name in HANDLE_FUNCTIONS})

# DLLs present on every Windows installation (case-insensitive).
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "advapi32.dll"}


class Report:
    def __init__(self):
        self.failed = False

    def ok(self, text):
        print("ok   " + text)

    def fail(self, text):
        print("FAIL " + text)
        self.failed = True

    def expect(self, condition, text, detail=""):
        if condition:
            self.ok(text)
        else:
            self.fail(text + (": " + detail if detail else ""))


def objdump(tool, *args):
    return subprocess.run([tool, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          check=True, universal_newlines=True).stdout


# ---------------------------------------------------------------------------
# Headers, imports and exports (objdump -p)

def image_facts(headers):
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    characteristics = int(re.search(r"^Characteristics\s+0x([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    return image_base, characteristics


def imported_dlls(headers):
    return re.findall(r"^\s*DLL Name:\s*(\S+)", headers, re.M)


def export_table(headers):
    """{name: RVA} from the export address table and the name pointer table."""
    base_match = re.search(r"Export Address Table -- Ordinal Base (\d+)", headers)
    if not base_match:
        return {}
    addresses = {}
    for index, rva in re.findall(r"^\s*\[\s*(\d+)\] \+base\[\s*\d+\]\s+([0-9a-fA-F]+) Export RVA", headers, re.M):
        addresses[int(index)] = int(rva, 16)
    names = {}
    table = headers.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) == 2:
        for index, name in re.findall(r"^\s*\[\s*(\d+)\] (\S+)\s*$", table[1].split("\n\n", 1)[0], re.M):
            names[name] = addresses.get(int(index))
    return names


# ---------------------------------------------------------------------------
# Code (objdump -d)

class Disassembly:
    """Instructions of the image grouped into functions.

    A function runs from one label of the disassembly (a symbol) to the
    next."""

    LABEL = re.compile(r"^([0-9a-f]+) <(.*)>:$")
    INSN = re.compile(r"^\s*([0-9a-f]+):\s+(\S.*)$")

    def __init__(self, text):
        self.starts = []          # sorted function start addresses
        self.names = {}           # start -> label
        self.code = {}            # start -> [(address, instruction)]
        current = None
        for line in text.splitlines():
            label = self.LABEL.match(line)
            if label:
                current = int(label.group(1), 16)
                self.starts.append(current)
                self.names[current] = label.group(2)
                self.code[current] = []
                continue
            insn = self.INSN.match(line)
            if insn and current is not None:
                self.code[current].append((int(insn.group(1), 16), " ".join(insn.group(2).split())))
        self.starts.sort()

    def function_at(self, address):
        """Start of the function whose range holds the address."""
        chosen = None
        for start in self.starts:
            if start > address:
                break
            chosen = start
        return chosen

    def returns(self, address):
        """Every return instruction reachable from the function at address,
        following jumps that leave a function; (returns, functions visited)."""
        found, visited, pending = set(), [], [self.function_at(address)]
        while pending:
            start = pending.pop()
            if start is None or start in visited:
                continue
            visited.append(start)
            body = self.code[start]
            end = body[-1][0] if body else start
            for _, insn in body:
                if insn == "ret" or insn.startswith("ret "):
                    found.add(insn)
                jump = re.match(r"^j[a-z]+ ([0-9a-f]+)\b", insn)
                if jump:
                    target = int(jump.group(1), 16)
                    if not start <= target <= end:
                        pending.append(self.function_at(target))
        return found, [self.names[s] for s in visited]

    def body(self, name):
        for start, label in self.names.items():
            if label == name:
                return [insn for _, insn in self.code[start] if insn not in ("nop", "xchg %ax,%ax")
                        and not insn.startswith(("lea 0x0(", "lea (%esi", "lea 0x0(%esi", "nopw", "nopl"))]
        return None


# ---------------------------------------------------------------------------

def check_dll(tool, path, report):
    headers = objdump(tool, "-p", path)
    report.expect("file format pei-i386" in headers, "%s is a 32-bit x86 PE image" % path)
    image_base, characteristics = image_facts(headers)
    report.expect(characteristics & 0x2000 != 0, "it is a DLL (IMAGE_FILE_DLL)")

    imports = imported_dlls(headers)
    foreign = [dll for dll in imports if dll.lower() not in SYSTEM_DLLS]
    report.expect(imports and not foreign, "it imports only system DLLs (%s)" % ", ".join(imports),
                  "also " + ", ".join(foreign))

    exports = export_table(headers)
    report.expect(set(exports) == set(EXPORTS),
                  "the export table lists exactly the ten functions and the handle functions under plain names",
                  "exports are %s" % sorted(exports))

    code = Disassembly(objdump(tool, "-d", "-w", "--no-show-raw-insn", path))
    if not code.starts:
        report.fail("no code found in the disassembly")
        return
    for name, wanted in EXPORTS.items():
        if exports.get(name) is None:
            continue
        found, path_names = code.returns(image_base + exports[name])
        report.expect(found == {wanted}, "%s returns with `%s` (code of %s)" % (name, wanted, ", ".join(path_names)),
                      "returns found: %s" % (sorted(found) or "none"))

    dll_main = code.body("_DllMain@12")
    report.expect(dll_main == ["mov $0x1,%eax", "ret $0xc"],
                  "DllMain returns TRUE for every notification and does nothing else",
                  "its code is %s" % dll_main)


def check_driver(tool, path, report):
    headers = objdump(tool, "-p", path)
    imports = imported_dlls(headers)
    foreign = [dll for dll in imports if dll.lower() not in SYSTEM_DLLS]
    report.expect(imports and not foreign,
                  "%s imports only system DLLs (%s): the library is reached through LoadLibraryA"
                  % (path, ", ".join(imports)), "also " + ", ".join(foreign))
    report.expect(re.search(r"\bLoadLibraryA\b", headers) and re.search(r"\bGetProcAddress\b", headers),
                  "it imports LoadLibraryA and GetProcAddress")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("dll")
    parser.add_argument("driver", nargs="?")
    args = parser.parse_args()
    report = Report()
    check_dll(args.objdump, args.dll, report)
    if args.driver:
        check_driver(args.objdump, args.driver, report)
    print("Windows binaries: %s" % ("FAILED" if report.failed else "all checks passed"))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
