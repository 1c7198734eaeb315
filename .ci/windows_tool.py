#!/usr/bin/env python3
"""rulecalc.exe under Wine against the Linux tool.

Every case runs both tools in a folder of their own holding a copy of the
examples, with the same arguments, and requires the same exit status and the
same bytes on standard output and standard error (and in the report file for
--output). The Linux tool runs under C.UTF-8. The Windows one runs either
under Wine's Chinese locale, where it takes code page 936 by itself and its
bytes must be the Linux tool's converted to GBK, or under Wine's English
locale with --encoding UTF-8, as the Linux tool then is too. A few cases
check what only Windows does.

Wine takes its locale from LC_ALL, and needs the Linux locale zh_CN.UTF-8
to read the arguments as UTF-8 there: when the system lacks it, it is made
with localedef into the folder --locales names (found there by LOCPATH).

  windows_tool.py --linux build/cli/rulecalc --windows build-mingw/cli/rulecalc.exe --examples examples
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# Wine's locales: LC_ALL sets the ANSI code page the tool takes for its own.
CHINESE = "zh_CN.UTF-8"   # code page 936: GBK
ENGLISH = "C.UTF-8"       # code page 1252

APPLICANTS = ["--rules", "applicants.rules", "--data", "applicants.csv"]
CLAIMS = ["--rules", "claims.rules", "--data", "claims.csv", "--key", "理赔编号"]

# name, arguments, Wine's locale (Chinese: GBK by itself; English: both
# tools are told --encoding UTF-8), and the file standard input reads if any.
SAME_AS_LINUX = [
    ("batch, the README's example", ["batch"] + APPLICANTS, CHINESE),
    ("batch, keyed with values", ["batch"] + APPLICANTS + ["--key", "ID", "--show-values"], ENGLISH),
    ("batch, csv", ["batch", "--format", "csv"] + APPLICANTS + ["--key", "ID"], CHINESE),
    ("batch, jsonl", ["batch", "--format", "jsonl"] + APPLICANTS, ENGLISH),
    ("batch, html", ["batch", "--format", "html"] + APPLICANTS + ["--key", "ID"], ENGLISH),
    ("batch, two threads", ["batch", "--jobs", "2"] + APPLICANTS, CHINESE),
    ("batch, data from standard input", ["batch", "--rules", "applicants.rules", "--data", "-", "--key", "ID",
                                         "--failed-rows", "failed.csv"], CHINESE, "applicants.csv"),
    ("batch, GBK data with a Chinese key", ["batch"] + CLAIMS, CHINESE),
    ("batch, GBK data as csv", ["batch", "--format", "csv", "--show-values"] + CLAIMS, CHINESE),
    ("batch, failed rows", ["batch", "--failed-rows", "failed.csv"] + APPLICANTS, ENGLISH),
    ("batch, an output that is the data", ["batch", "--output", "applicants.csv"] + APPLICANTS, ENGLISH),
    ("batch, a missing data file", ["batch", "--rules", "applicants.rules", "--data", "none.csv"], ENGLISH),
    ("test, the examples beside the rules", ["test", "--rules", "applicants.rules", "--key", "ID"], CHINESE),
    ("eval, false", ["eval", "IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;", "AGE=16", "SCORE=75"], CHINESE),
    ("eval, true with Chinese", ["eval", "LENGTH(NAME) = 4;", "NAME=张伟"], CHINESE),
    ("eval, extended", ["eval", "--language", "extended",
                        '(CITY IN ("北京","上海") OR AMOUNT < 1000) AND REMARK IS NOT EMPTY;',
                        "CITY=广州", "AMOUNT=5000", "REMARK:text="], ENGLISH),
    ("check, an analysis error", ["check", "IF AGE>=18 THEN SCORE >= ;", "AGE=16", "SCORE=75"], CHINESE),
    ("check, the rules against the data's columns", ["check"] + APPLICANTS, CHINESE),
    ("tokens", ["tokens", 'IF CITY = "北京" THEN AMOUNT >= 2.5;'], CHINESE),
    ("numbers", ["numbers", "IF x >= 10 THEN y = 2.5 ELSE y = 0;"], ENGLISH),
    ("varnames", ["varnames", "a + A + b1 + B1 > 0;"], ENGLISH),
    ("batch help", ["batch", "--help"], ENGLISH),
    ("a usage error", ["eval"], ENGLISH),
    ("version", ["--version"], ENGLISH),
]


def shown(what):
    """An exit status as it is, bytes from the first that differs on."""
    return repr(what) if isinstance(what, int) else repr(what[:400])


def run(command, folder, env, stdin=None):
    with open(os.path.join(folder, stdin), "rb") if stdin else open(os.devnull, "rb") as given:
        done = subprocess.run(command, cwd=folder, env=env, stdin=given, capture_output=True, timeout=300)
    return done.returncode, done.stdout, done.stderr


class Tools:
    def __init__(self, linux, windows, examples, locales):
        self.locales = locales
        self.linux = os.path.abspath(linux)
        self.windows = os.path.abspath(windows)
        self.examples = os.path.abspath(examples)
        self.failures = 0

    def folder(self):
        folder = tempfile.mkdtemp(prefix="rulecalc-wine-")
        for name in os.listdir(self.examples):
            shutil.copy(os.path.join(self.examples, name), folder)
        return folder

    def linux_run(self, arguments, locale, folder, stdin=None):
        told = ["--encoding", "UTF-8"] if locale == ENGLISH else []
        status, output, error = run([self.linux] + told + arguments, folder, dict(os.environ, LC_ALL="C.UTF-8"), stdin)
        if locale == CHINESE:
            output, error = (text.decode("utf-8").encode("gbk") for text in (output, error))
        return status, output, error

    def windows_run(self, arguments, locale, folder, stdin=None):
        told = ["--encoding", "UTF-8"] if locale == ENGLISH else []
        env = dict(os.environ, LC_ALL=locale, LOCPATH=self.locales, WINEDEBUG="-all")
        return run(["wine", self.windows] + told + arguments, folder, env, stdin)

    def report(self, name, problem):
        if problem:
            self.failures += 1
            print(f"FAIL {name}: {problem}")
        else:
            print(f"ok   {name}")

    def same_as_linux(self, name, arguments, locale, stdin=None):
        linux_folder, windows_folder = self.folder(), self.folder()
        expected = self.linux_run(arguments, locale, linux_folder, stdin)
        got = self.windows_run(arguments, locale, windows_folder, stdin)
        problem = ""
        for what, want, have in zip(("exit status", "standard output", "standard error"), expected, got):
            if want != have:
                problem = f"{what} differs: Linux {shown(want)}, Windows {shown(have)}"
                break
        for written in ("failed.csv",):
            path = os.path.join(linux_folder, written)
            if not problem and os.path.exists(path):
                with open(path, "rb") as one, open(os.path.join(windows_folder, written), "rb") as other:
                    if one.read() != other.read():
                        problem = f"{written} differs"
        self.report(f"{name} ({'GBK' if locale == CHINESE else 'UTF-8'}, status {expected[0]})", problem)
        shutil.rmtree(linux_folder)
        shutil.rmtree(windows_folder)

    def windows_paths(self):
        """The issue's own command, Windows paths and all, from the folder above the examples."""
        above, examples = os.path.split(self.examples)
        linux = self.linux_run(["batch", "--rules", f"{examples}/applicants.rules", "--data",
                                f"{examples}/applicants.csv"], CHINESE, above)
        windows = self.windows_run(["batch", "--rules", f"{examples}\\applicants.rules", "--data",
                                    f"{examples}\\applicants.csv"], CHINESE, above)
        self.report(f"batch --rules {examples}\\applicants.rules --data {examples}\\applicants.csv",
                    "" if linux == windows and linux[0] == 0 else f"Linux {shown(linux[1])}, Windows {shown(windows[1])}")

    def output_replaced(self):
        """--output over an existing report replaces it whole (a rename over it)."""
        folder = self.folder()
        with open(os.path.join(folder, "report.txt"), "wb") as old:
            old.write(b"the previous report, longer than the new one will be" * 1000)
        arguments = ["batch", "--output", "report.txt"] + APPLICANTS
        status, _, error = self.windows_run(arguments, ENGLISH, folder)
        _, expected, _ = self.linux_run(["batch"] + APPLICANTS, ENGLISH, folder)
        with open(os.path.join(folder, "report.txt"), "rb") as new:
            written = new.read()
        leftovers = [name for name in os.listdir(folder) if name.startswith("~")]
        problem = "" if status == 0 and written == expected and not leftovers else \
            f"status {status}, {len(written)} bytes, leftovers {leftovers}, {error[:200]!r}"
        self.report("batch --output replaces the previous report", problem)
        shutil.rmtree(folder)

    def interrupt_keeps_report(self):
        """Ctrl-C (Wine turns SIGINT into the console's Ctrl-C event) while a
        long batch writes its report leaves the previous report and no
        temporary file, and the tool ends as an interrupted program."""
        folder = self.folder()
        with open(os.path.join(folder, "applicants.csv"), encoding="utf-8") as data:
            header, *rows = data.read().splitlines(keepends=True)
        with open(os.path.join(folder, "many.csv"), "w", encoding="utf-8") as many:
            many.write(header + "".join(rows) * 1000)
        with open(os.path.join(folder, "report.txt"), "wb") as old:
            old.write(b"the previous report\n")
        env = dict(os.environ, LC_ALL=ENGLISH, WINEDEBUG="-all")
        tool = subprocess.Popen(["wine", self.windows, "batch", "--rules", "applicants.rules", "--data", "many.csv",
                                 "--show-values", "--output", "report.txt"], cwd=folder, env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        writing = lambda: [name for name in os.listdir(folder) if name.startswith("~report.txt.")]
        for _ in range(600):
            if writing() or tool.poll() is not None:
                break
            time.sleep(0.05)
        started = bool(writing())
        tool.send_signal(signal.SIGINT)
        _, error = tool.communicate(timeout=120)
        with open(os.path.join(folder, "report.txt"), "rb") as report:
            kept = report.read() == b"the previous report\n"
        problem = "" if started and tool.returncode not in (0, None) and kept and not writing() and \
            b"interrupted" in error else \
            f"started {started}, status {tool.returncode}, kept {kept}, left {writing()}, {error[-200:]!r}"
        self.report("Ctrl-C during batch --output leaves the previous report", problem)
        shutil.rmtree(folder)

    def argument_code_page_lacks(self):
        """An argument the console's code page cannot hold is refused, not turned into "?"."""
        env = dict(os.environ, LC_ALL=ENGLISH, WINEDEBUG="-all")
        status, output, error = run(["wine", self.windows, "eval", "LENGTH(NAME) = 4;", "NAME=张伟"], self.examples, env)
        problem = "" if status == 64 and not output and b"code page 1252 lacks" in error else \
            f"status {status}, {output[:100]!r}, {error[:200]!r}"
        self.report("an argument code page 1252 lacks is refused", problem)

    def workbooks_refused(self):
        """The Windows build has no workbook support and says so."""
        folder = self.folder()
        status, output, error = self.windows_run(["batch", "--format", "xlsx", "--output", "r.xlsx"] + APPLICANTS,
                                                 ENGLISH, folder)
        problem = "" if status == 64 and not output and b"no workbook support" in error and \
            not os.path.exists(os.path.join(folder, "r.xlsx")) else f"status {status}, {error[:200]!r}"
        self.report("batch --format xlsx is refused with the reason", problem)
        shutil.rmtree(folder)


def chinese_locale(folder):
    """The folder LOCPATH must name for zh_CN.UTF-8 (made there when the system lacks it)."""
    known = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    if "zh_CN.utf8" in known or "zh_CN.UTF-8" in known:
        return "/usr/lib/locale"
    if not os.path.isdir(os.path.join(folder, CHINESE)):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["localedef", "-i", "zh_CN", "-f", "UTF-8", os.path.join(folder, CHINESE)], check=True)
    return folder


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--locales", default=os.path.join(tempfile.gettempdir(), "rulecalc-locales"))
    options = parser.parse_args()
    tools = Tools(options.linux, options.windows, options.examples, chinese_locale(options.locales))
    for case in SAME_AS_LINUX:
        tools.same_as_linux(*case)
    only_windows = (tools.windows_paths, tools.output_replaced, tools.interrupt_keeps_report, tools.argument_code_page_lacks,
                    tools.workbooks_refused)
    for check in only_windows:
        check()
    total = len(SAME_AS_LINUX) + len(only_windows)
    print(f"{total - tools.failures} of {total} checks of rulecalc.exe passed")
    return 1 if tools.failures else 0


if __name__ == "__main__":
    sys.exit(main())
