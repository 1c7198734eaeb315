#!/usr/bin/python3
"""The batch against its peers: rulecalc batch, SQLite and Miller on the same rows.

Generates ROWS applicant rows with examples/make_applicants.py (kept in the
work folder between runs), runs the nine checks of examples/applicants.rules

  - with `rulecalc batch --format csv` (--jobs 1, then --jobs 2),
  - with SQLite: `.import` of the CSV and one SELECT of the nine checks,
  - with Miller: one `put` of the nine checks,

checks that every system gives every row the same nine verdicts, and prints
each system's wall time, rows per second, and its time as a ratio to
rulecalc's with one job.

    /usr/bin/python3 bench/batch_peers.py --rulecalc build/cli/rulecalc [--rows 1000000] [--work DIR]
"""

import argparse
import csv
import os
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
RULE_IDS = ["name_length", "phone", "email", "id_number", "adult", "young", "income", "employment", "address"]

# The nine checks in SQL. Dates are month/day/year texts; "b" and "a" hold
# them as year, month and day numbers. ADDMONTHS(date, 216) keeps the day or
# takes the month's last day, so 29 February moves to 28 February.
SQL = """
WITH d AS (
  SELECT rowid AS r, *,
    CAST(substr(BIRTH, 7, 4) AS INTEGER) AS by, substr(BIRTH, 1, 2) AS bm, substr(BIRTH, 4, 2) AS bd,
    CAST(substr(APPLIED, 7, 4) AS INTEGER) AS ay, substr(APPLIED, 1, 2) AS am, substr(APPLIED, 4, 2) AS ad,
    CASE WHEN INCOME = '' THEN 0.0 ELSE CAST(INCOME AS REAL) END AS income,
    CAST(HOUSEHOLD AS REAL) AS household
  FROM applicants
)
SELECT
  length(NAME) BETWEEN 2 AND 4,
  length("PHONE:text") = 11 AND substr("PHONE:text", 1, 1) = '1',
  instr(EMAIL, '@') > 1 AND instr(substr(EMAIL, instr(EMAIL, '@')), '.') > 2,
  length("IDNO:text") = 18 AND substr("IDNO:text", 7, 8) = printf('%04d%s%s', by, bm, bd),
  printf('%04d%s%s', by + 18, bm, CASE WHEN bm = '02' AND bd = '29' THEN '28' ELSE bd END)
    <= printf('%04d%s%s', ay, am, ad),
  ay - by <= 35,
  CASE WHEN household > 0 THEN income / household < 8000 ELSE income < 8000 END,
  CASE WHEN CITY IN ('北京', '上海') THEN CAST(MONTHS_EMPLOYED AS INTEGER) >= 24
       ELSE CAST(MONTHS_EMPLOYED AS INTEGER) >= 12 END,
  instr(ADDRESS, '区') > 0
FROM d ORDER BY r;
"""

# The nine checks in Miller's DSL (every field read as a string, -S).
MILLER = """
func ymd(str t): str {
  return substr1(t, 7, 10) . substr1(t, 1, 2) . substr1(t, 4, 5);
}
var b = ymd($BIRTH);
var a = ymd($APPLIED);
var by = int(substr1($BIRTH, 7, 10));
var bmd = substr1(b, 5, 8) == "0229" ? "0228" : substr1(b, 5, 8);
var income = $INCOME == "" ? 0 : float($INCOME);
var household = float($HOUSEHOLD);
var email = string($EMAIL);
var at = strlen(sub(email, "@.*", ""));
$name_length = strlen($NAME) >= 2 && strlen($NAME) <= 4;
$phone = strlen(${PHONE:text}) == 11 && substr1(${PHONE:text}, 1, 1) == "1";
$email = email =~ "@" && at > 0 && strlen(sub(substr1(email, at + 1, strlen(email)), "[.].*", "")) > 1;
$id_number = strlen(${IDNO:text}) == 18 && substr1(${IDNO:text}, 7, 14) == b;
$adult = fmtnum(by + 18, "%04d") . bmd <= a;
$young = int(substr1($APPLIED, 7, 10)) - by <= 35;
$income = household > 0 ? income / household < 8000 : income < 8000;
$employment = ($CITY == "北京" || $CITY == "上海") ? int($MONTHS_EMPLOYED) >= 24 : int($MONTHS_EMPLOYED) >= 12;
$address = $ADDRESS =~ "区";
"""


def make_rows(work, rows):
    data = work / ("applicants-%d.csv" % rows)
    if not data.exists():
        with open(data, "wb") as out:
            subprocess.run([sys.executable, str(ROOT / "examples/make_applicants.py"), str(rows)],
                           stdout=out, check=True)
    return data


def timed(command, output):
    with open(output, "wb") as out:
        start = time.perf_counter()
        subprocess.run(command, stdout=out, check=True)
        return time.perf_counter() - start


def rulecalc_verdicts(report, rows):
    verdicts = [[""] * len(RULE_IDS) for _ in range(rows)]
    column = {rule: i for i, rule in enumerate(RULE_IDS)}
    with open(report, encoding="gbk", errors="replace", newline="") as f:
        reader = csv.reader(f)
        next(reader)
        for row, rule, result, _ in reader:
            verdicts[int(row) - 1][column[rule]] = "1" if result == "true" else "0"
    return ["".join(v) for v in verdicts]


def sqlite_verdicts(output):
    with open(output, encoding="utf-8", newline="") as f:
        return ["".join(line) for line in csv.reader(f)]


def miller_verdicts(output):
    with open(output, encoding="utf-8", newline="") as f:
        reader = csv.DictReader(f)
        return ["".join("1" if row[rule] == "true" else "0" for rule in RULE_IDS) for row in reader]


def run_sqlite(data, work):
    output = work / "sqlite.csv"
    script = ".mode csv\n.import '%s' applicants\n.output '%s'\n%s" % (data, output, SQL)
    start = time.perf_counter()
    subprocess.run(["sqlite3", ":memory:"], input=script.encode(), check=True)
    return time.perf_counter() - start, sqlite_verdicts(output)


def run_miller(data, work):
    output = work / "miller.csv"
    command = ["mlr", "-S", "--icsv", "--ocsv", "put", MILLER, "then", "cut", "-o", "-f", ",".join(RULE_IDS),
               str(data)]
    return timed(command, output), miller_verdicts(output)


def run_rulecalc(rulecalc, data, work, jobs, rows):
    output = work / ("rulecalc-jobs%d.csv" % jobs)
    command = [rulecalc, "batch", "--rules", str(ROOT / "examples/applicants.rules"), "--data", str(data),
               "--format", "csv", "--jobs", str(jobs)]
    with open(os.devnull, "wb") as quiet:
        start = time.perf_counter()
        with open(output, "wb") as out:
            subprocess.run(command, stdout=out, stderr=quiet, check=False)
        seconds = time.perf_counter() - start
    return seconds, rulecalc_verdicts(output, rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rulecalc", required=True, help="the rulecalc tool")
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--work", default="/tmp/rulecalc-batch-peers", help="folder for the data and outputs")
    args = parser.parse_args()
    work = pathlib.Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    data = make_rows(work, args.rows)

    results = {}
    results["rulecalc batch --jobs 1"] = run_rulecalc(args.rulecalc, data, work, 1, args.rows)
    results["rulecalc batch --jobs 2"] = run_rulecalc(args.rulecalc, data, work, 2, args.rows)
    results["sqlite3 (import + SELECT)"] = run_sqlite(data, work)
    results["mlr put"] = run_miller(data, work)

    reference = results["rulecalc batch --jobs 1"][1]
    failures = 0
    for name, (_, verdicts) in results.items():
        if len(verdicts) != args.rows:
            print("%s: %d rows of verdicts, expected %d" % (name, len(verdicts), args.rows))
            failures += 1
            continue
        differing = [i for i, (a, b) in enumerate(zip(reference, verdicts)) if a != b]
        if differing:
            i = differing[0]
            print("%s: %d rows differ from rulecalc, first row %d: %s against %s"
                  % (name, len(differing), i + 1, verdicts[i], reference[i]))
            failures += 1

    base = results["rulecalc batch --jobs 1"][0]
    print("\n%d rows x %d checks, same verdicts: %s" % (args.rows, len(RULE_IDS), "yes" if not failures else "NO"))
    print("| system | seconds | rows/s | time / rulecalc --jobs 1 |")
    print("|---|---|---|---|")
    for name, (seconds, _) in results.items():
        print("| %s | %.2f | %.0f | x%.2f |" % (name, seconds, args.rows / seconds, seconds / base))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
