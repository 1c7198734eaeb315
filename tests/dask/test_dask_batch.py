"""rulecalc-dask on a real local Dask cluster (two worker processes on 127.0.0.1):
its report, standard error and exit status compared with those of the rulecalc
tool on the same data and options."""

import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import unittest

from distributed import Client, LocalCluster

CLI = os.environ["RULECALC_CLI"]
EXAMPLES = os.environ.get("RULECALC_EXAMPLES") or os.path.join(
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "examples")
EXAMPLE_RULES = os.path.join(EXAMPLES, "applicants.rules")
EXAMPLE_DATA = os.path.join(EXAMPLES, "applicants.csv")
# The installed console script; the module where the package runs from the source tree.
SCRIPT = shutil.which("rulecalc-dask", path=os.path.dirname(sys.executable))
DASK_BATCH = [SCRIPT] if SCRIPT else [sys.executable, "-m", "rulecalc.dask_batch"]

RULES = """\
adult "年满十八": AGE >= 18;
score: IF AGE >= 18   # a comment
       THEN SCORE >= 60 ELSE SCORE >= 80;
note: LENGTH(NOTE) < 12 OR FINDSTR(NOTE, ",") >= 0;
"""

# Every way a record can go wrong, records with line breaks and quotes in
# their fields, empty lines, CRLF, and a SCORE that is text in one row only.
BAD_DATA = (
    b'ID:text,AGE:num,SCORE,NOTE\r\n'
    b'1,20,70,plain\r\n'
    b'1b,twenty,70,not a number where a number is declared\r\n'
    b'2,16,75,"two\nlines, and ""quotes"""\n'
    b'\n\r\n'
    b'3,17,90,"a\n\n\nlong\nquoted\nfield"\n'
    b'4,30,x"y,quote inside\n'
    b'5,30,50\n'
    b'6,30,50,"closed"then text\n'
    b'7,40,,"empty score"\n'
    b'8,41,61,\xff\xfe not UTF-8\n'
    b'9,42,62,\xf0\x9f\x98\x80 emoji\n'
    b'10,43,63,\xe4\xb8\xad\xe6\x96\x87\n'
    b'11,44,64,"quoted, with ""a\nbreak"" at the end"\n'
    b'12,45,N/A,text in a numeric column\n'
    b'13,46,66,"never closed\nto the end of the file'
)


FORMATS = ("text", "csv", "jsonl", "html")

# Dates read by their column's own format, a bad date, an empty one, and a
# column that is a plain number beside them; in the extended language, whose
# choice every worker must get.
DATE_RULES = (b'@language extended\nday: D = 45296;\nlater: E > D;\nn: N >= 0;\nclock: F > 45296.5;\n'
              b'grouped: (N IS EMPTY OR N >= 0) AND NOT D IN (45296, 45297);\n')
DATE_DATA = (b'D:date(yyyy-mm-dd),E:date(dd.mm.yyyy),"N:num(#,##0.00)",F:date(yyyy/m/d hh:nn|yyyy-mm-dd)\n'
             b'2024-01-05,06.01.2024,"1,000",2024/1/5 18:00\n2024-13-05,01.01.2000,2,2024-01-05\n'
             b',31.12.1999,-1,2024/1/5 09:00\n2024-1-5,5.1.2024,"3,0",x\n')


def setUpModule():
    global CLUSTER, CLIENT
    CLUSTER = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                           dashboard_address="127.0.0.1:0")
    CLIENT = Client(CLUSTER)


def tearDownModule():
    CLIENT.close()
    CLUSTER.close()


def cli_batch(rules, data, *extra):
    return subprocess.run([CLI, "batch", "--rules", rules, "--data", data, *extra], capture_output=True)


def dask_command(rules, data, *extra, scheduler=True):
    command = DASK_BATCH + ["--rules", rules, "--data", data, *extra]
    return command + (["--scheduler", CLUSTER.scheduler_address] if scheduler else [])


def dask_batch(rules, data, *extra, scheduler=True):
    return subprocess.run(dask_command(rules, data, *extra, scheduler=scheduler), capture_output=True)


class TempFiles(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = folder.name

    def file(self, name, content):
        path = os.path.join(self.folder, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def assertSameRun(self, ours, theirs):
        """Same report, same exit status, same standard error (but for the program's name)."""
        self.assertEqual(ours.stdout, theirs.stdout)
        self.assertEqual(ours.returncode, theirs.returncode, ours.stderr.decode())
        self.assertEqual(ours.stderr.replace(b"rulecalc-dask:", b"rulecalc:").decode(), theirs.stderr.decode())

    def assertSameInEveryFormat(self, rules, data, *options, blocks=("40",)):
        for block_size in blocks:
            for report_format in FORMATS:
                with self.subTest(block_size=block_size, format=report_format, options=options):
                    self.assertSameRun(dask_batch(rules, data, "--format", report_format, *options,
                                                  "--block-size", block_size),
                                       cli_batch(rules, data, "--format", report_format, *options))


class SameRunAsTheTool(TempFiles):
    def test_example_on_a_local_cluster_of_its_own(self):
        ours = dask_batch(EXAMPLE_RULES, EXAMPLE_DATA, "--key", "ID", "--jobs", "2", "--block-size", "8K",
                          scheduler=False)
        self.assertSameRun(ours, cli_batch(EXAMPLE_RULES, EXAMPLE_DATA, "--key", "ID"))

    def test_example_and_date_columns_in_every_format(self):
        self.assertSameInEveryFormat(EXAMPLE_RULES, EXAMPLE_DATA, "--all", blocks=("8K",))
        dates = self.file("dates.csv", DATE_DATA)
        self.assertSameInEveryFormat(self.file("d.rules", DATE_RULES), dates, "--show-values", blocks=("7",))

    def test_a_workbook_is_one_block(self):
        import csv
        import openpyxl
        book = openpyxl.Workbook()
        with open(EXAMPLE_DATA, encoding="utf-8", newline="") as source:
            for i, row in enumerate(csv.reader(source)):
                numbers = [float(v) if v.replace(".", "", 1).isdigit() and len(v) < 12 else v for v in row]
                book.active.append(row if i == 0 else numbers)
        data = os.path.join(self.folder, "example.xlsx")
        book.save(data)
        self.assertSameInEveryFormat(EXAMPLE_RULES, data, "--key", "ID", blocks=("40",))

    def test_bad_file_whatever_the_blocks(self):
        rules, data = self.file("r.rules", RULES.encode()), self.file("bad.csv", BAD_DATA)
        self.assertIn(b"row 6 skipped", cli_batch(rules, data).stderr)
        self.assertSameInEveryFormat(rules, data, blocks=("1", "7", "40", "1M"))

    def test_failed_rows_and_notes_are_the_tools_whatever_the_blocks(self):
        rules, data = self.file("r.rules", RULES.encode() + b'coded: ID = 1;\n'), self.file("bad.csv", BAD_DATA)
        theirs_paths = [os.path.join(self.folder, "theirs-%s.csv" % kind) for kind in ("failed", "notes")]
        theirs = cli_batch(rules, data, "--key", "ID", "--failed-rows", theirs_paths[0], "--notes", theirs_paths[1])
        expected = []
        for path in theirs_paths:
            with open(path, "rb") as file:
                expected.append(file.read())
        self.assertIn(b'\n2,16,75,"two\nlines, and ""quotes"""', expected[0])
        self.assertIn(b"\r\nwarning,coded,,,", expected[1])
        for block_size in ("7", "1M"):
            with self.subTest(block_size=block_size):
                ours_paths = [os.path.join(self.folder, "ours-%s-%s.csv" % (kind, block_size)) for kind in ("failed", "notes")]
                ours = dask_batch(rules, data, "--key", "ID", "--failed-rows", ours_paths[0], "--notes", ours_paths[1],
                                  "--block-size", block_size)
                self.assertSameRun(ours, theirs)
                for path, wanted in zip(ours_paths, expected):
                    with open(path, "rb") as file:
                        self.assertEqual(file.read(), wanted)

    def test_options_and_files_the_tool_reads_as_the_tool_does(self):
        rules = self.file("r.rules", RULES.encode())
        huge = self.file("huge.csv", b"ID:text,AGE,SCORE,NOTE\n1,20,70,\"" + b"x\n" * 800000 + b"\"\n2,20,70,ok\n"
                         b"3,20,70,\"never closed\n" + b"4,20,70,ok\n" * 400000)
        formulas = self.file("f.rules", b"=cmd: AGE >= 18;\n-r: AGE >= 18;\nage: AGE >= 18;\n")
        keys = self.file("keys.csv", b'ID:text,AGE\n"=1+1",20\n-5,20\n-5x,20\n"@SUM(A1)",20\n+x,20\n"\tx",20\nplain,20\n')
        cases = [
            # (rules, data, options)
            (rules, self.file("bad.csv", BAD_DATA), ("--key", "ID", "--null-values", "N/A,-", "--show-values", "--bom")),
            (rules, self.file("bad.csv", BAD_DATA), ("--failed-only", "--date-order", "dmy")),
            (rules, huge, ()),
            (rules, self.file("utf8.csv", b"ID:text,AGE,SCORE,NOTE\n1,20,70,\xe4\xb8\xad \xf0\x9f\x98\x80 emoji\n"), ()),
            (rules, self.file("gbk.csv", "ID:text,AGE,SCORE,NOTE\n1,20,70,中文\n".encode("gbk")), ("--data-encoding", "GBK")),
            (formulas, keys, ("--key", "ID")),
            (formulas, keys, ("--key", "ID", "--raw-cells")),
            (self.file("nul.rules", b'note: NOTE = "ab";\nage: AGE > 1;\n'),
             self.file("nul.csv", b"AGE,NOTE\n2,ab\n2,\"ab\x00cd\"\n"), ()),
            (self.file("left_out.rules", b"bad: AGE >= ;\nunknown: NOPE > 1;\nok: AGE > 1;\n"), EXAMPLE_DATA, ()),
            (rules, EXAMPLE_DATA, ("--key", "NOPE")),
            (rules, self.file("bad.csv", BAD_DATA), ("--fail-on", "failed", "--max-failed", "adult=1", "--max-failed",
                                                     "score=90%")),
            (self.file("limits.rules", RULES.encode() + b"@max-failed note 0\n"), self.file("bad.csv", BAD_DATA), ()),
            (os.path.join(self.folder, "missing.rules"), EXAMPLE_DATA, ()),
            (rules, self.file("titled.csv", b"Scores, 2026\nID:text,AGE,SCORE,NOTE\n,years,points,\n1,20,70,a\n2,x,1,b\n"),
             ("--header-row", "2", "--skip-rows", "1", "--key", "ID")),
        ]
        for rules_file, data, options in cases:
            with self.subTest(rules=os.path.basename(rules_file), data=os.path.basename(data), options=options):
                self.assertSameRun(dask_batch(rules_file, data, "--format", "csv", *options, "--block-size", "1M"),
                                   cli_batch(rules_file, data, "--format", "csv", *options))

    def test_values_the_engine_refuses_are_usage_errors(self):
        cases = [
            # (options, the message)
            (("--format", "pdf"), b"rulecalc-dask: --format: 'pdf' is not one of text, csv, jsonl, html, xlsx\n"),
            (("--date-separator", "ab"), b"rulecalc-dask: --date-separator: 'ab' is not one character\n"),
            (("--header-row", "0"), b"rulecalc-dask: --header-row: '0' is not a count of rows from 1\n"),
            (("--data-encoding", "NOPE-8"), b"rulecalc-dask: unknown encoding 'NOPE-8'\n"),
            (("--data", "-"), b"rulecalc-dask: --data: the workers cannot read standard input ('-'); save the data to "
                              b"a file they can open\n"),
            (("--output", self.folder), b"rulecalc-dask: --output: a folder of parts ('%s') holds a csv or jsonl "
                                        b"report, not text; name a file or choose --format csv or jsonl\n"
                                        % self.folder.encode()),
        ]
        for options, message in cases:
            with self.subTest(options=options):
                refused = dask_batch(EXAMPLE_RULES, EXAMPLE_DATA, *options)
                self.assertEqual((refused.returncode, refused.stdout, refused.stderr), (64, b"", message))

    def test_several_files_are_one_table(self):
        rules = self.file("r.rules", RULES.encode())
        head, rows = BAD_DATA.split(b"\r\n", 1)
        parts = rows.split(b"\n4,")
        self.file("a.csv", head + b"\r\n" + parts[0] + b"\n")
        self.file("b.csv", head + b"\n4," + parts[1])
        whole = self.file("whole.bin", head + b"\r\n" + parts[0] + b"\n4," + parts[1])
        ours = dask_batch(rules, self.folder, "--format", "csv", "--failed-only", "--key", "id", "--block-size", "64")
        theirs = cli_batch(rules, whole, "--format", "csv", "--failed-only", "--key", "id")
        self.assertEqual(ours.stdout, theirs.stdout)
        self.assertEqual(ours.stderr.count(b"skipped"), theirs.stderr.count(b"skipped"))

    def device(self, name, minor):
        """A device node in the test's folder: minor 7 is always full, 3 takes everything."""
        path = os.path.join(self.folder, name)
        os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, minor))
        return path

    def test_devices_are_written_in_place_and_a_failed_write_is_status_74(self):
        full, null = self.device("full", 7), self.device("null", 3)
        link = os.path.join(self.folder, "link")
        os.symlink(full, link)  # as /dev/stdout leads to what standard output is
        cases = [
            # (standard output, --output, exit status, words of the message)
            (full, None, 74, b"cannot write the report to standard output: No space left on device\n"),
            (None, full, 74, b"cannot write the report to '%s': No space left on device\n" % full.encode()),
            (None, null, 0, b"summary:"),
            (None, link, 74, b"cannot write the report to '%s': No space left on device\n" % link.encode()),
        ]
        for stdout, output, status, words in cases:
            with self.subTest(stdout=stdout, output=output), open(stdout or os.devnull, "wb") as out:
                extra = ("--output", output) if output else ()
                ours = subprocess.run(dask_command(EXAMPLE_RULES, EXAMPLE_DATA, "--format", "csv", *extra), stdout=out,
                                      stderr=subprocess.PIPE)
                self.assertEqual(ours.returncode, status, ours.stderr.decode())
                self.assertIn(words, ours.stderr)
                self.assertTrue(all(stat.S_ISCHR(os.stat(d).st_mode) for d in (full, null)) and os.path.islink(link))

    def test_a_part_that_cannot_be_written_leaves_no_temporary_file(self):
        from rulecalc._batch.problems import ReportError
        from rulecalc._batch.report_file import ReportFolder
        parts = ReportFolder(self.folder, "csv")
        # The temporary name leads to a full device, as a full disk would take the part.
        os.symlink(self.device("full", 7), "%s.tmp-%d" % (os.path.join(self.folder, "part-00000.csv"), os.getpid()))
        parts.start(b"row,rule,result,explanation\r\n")
        with self.assertRaisesRegex(ReportError, "No space left on device"):
            parts.add(b"1,r,true,\r\n" * 1000)
        self.assertEqual(os.listdir(self.folder), ["full"])

    def test_report_folder_holds_the_report_in_parts(self):
        for report_format, heading in (("csv", b"\xef\xbb\xbfrow,rule,result,explanation\r\n"), ("jsonl", b"")):
            with self.subTest(format=report_format):
                output = os.path.join(self.folder, report_format) + os.sep
                options = ("--format", report_format, "--bom")
                ours = dask_batch(EXAMPLE_RULES, EXAMPLE_DATA, *options, "--block-size", "16K", "--output", output)
                theirs = cli_batch(EXAMPLE_RULES, EXAMPLE_DATA, *options)
                self.assertEqual((ours.returncode, ours.stderr.replace(b"rulecalc-dask:", b"rulecalc:")),
                                 (0, theirs.stderr))
                names = sorted(os.listdir(output))
                self.assertEqual(names, ["part-%05d.%s" % (i, report_format) for i in range(len(names))])
                self.assertGreater(len(names), 2)
                joined = heading
                for name in names:
                    with open(os.path.join(output, name), "rb") as part:
                        content = part.read()
                    self.assertTrue(content.startswith(heading))
                    joined += content[len(heading):]
                self.assertEqual(joined, theirs.stdout)


class FilesWithoutRows(TempFiles):
    CASES = [
        # (name, content)
        ("empty.csv", b""),
        ("blank.csv", b"\n\r\n\n"),
        ("header_only.csv", b"ID:text,AGE,SCORE,NOTE:text\r\n"),
        ("bad_header.csv", b"ID,AGE:bool\n1,2\n"),
    ]

    def test_same_status_report_and_message_as_the_tool(self):
        rules = self.file("r.rules", RULES.encode())
        for name, content in self.CASES:
            with self.subTest(name=name):
                data = self.file(name, content)
                self.assertSameRun(dask_batch(rules, data, "--format", "csv"), cli_batch(rules, data, "--format", "csv"))


def rules_made_here():
    from rulecalc._rule_cache import rules_made
    return rules_made()


class DaskDataFrame(unittest.TestCase):
    def test_same_columns_as_the_pandas_path_each_rule_analysed_once_per_worker(self):
        import dask.dataframe as dd
        import pandas
        import rulecalc.dask
        import rulecalc.frame
        df = pandas.DataFrame({"ID": ["a%d" % i for i in range(60)], "AGE": [i % 30 for i in range(60)],
                               "NOTE": ["x" * (i % 15) for i in range(60)], "SCORE": [None] + [70.5] * 59})
        rules = {"adult": "AGE >= 18;", "note": "LENGTH(NOTE) < 12;", "score": "NVL(SCORE, 0) > 60;"}
        before = sum(CLIENT.run(rules_made_here).values())
        ours = rulecalc.dask.evaluate(dd.from_pandas(df, npartitions=6), rules, key="ID").compute()
        pandas.testing.assert_frame_equal(ours, rulecalc.frame.evaluate(df, rules, key="ID"))
        self.assertLessEqual(sum(CLIENT.run(rules_made_here).values()) - before, 2 * len(rules))


class KilledWorker(TempFiles):
    def test_200000_rows_with_a_worker_killed_mid_run(self):
        data = os.path.join(self.folder, "many.csv")
        with open(data, "wb") as out:
            subprocess.run([sys.executable, os.path.join(EXAMPLES, "make_applicants.py"), "200000"],
                           stdout=out, check=True)
        output = os.path.join(self.folder, "report.csv")
        command = dask_command(EXAMPLE_RULES, data, "--format", "csv", "--block-size", "1M", "--progress", "--output",
                               output)
        run = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
        victim, lines, done = None, [], None
        for line in run.stderr:
            lines.append(line)
            if victim is None and " blocks done" in line:
                victim = sorted(CLIENT.run(os.getpid).values())[0]
                os.kill(victim, signal.SIGKILL)
                done = [int(n) for n in re.findall(r"(\d+) of (\d+) blocks", line)[0]]
        self.assertEqual(run.wait(), 0, "".join(lines))
        self.assertLess(done[0], done[1], "the worker was killed when every block was done")
        self.assertNotIn(victim, CLIENT.run(os.getpid).values())
        theirs = cli_batch(EXAMPLE_RULES, data, "--format", "csv", "--jobs", "2")
        with open(output, "rb") as report:
            self.assertEqual(report.read(), theirs.stdout)


if __name__ == "__main__":
    unittest.main()
