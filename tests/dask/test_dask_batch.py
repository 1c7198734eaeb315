"""rulecalc-dask on a real local Dask cluster (two worker processes on 127.0.0.1),
its report and diagnostics compared with those of the rulecalc tool on the same data."""

import csv
import io
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


def setUpModule():
    global CLUSTER, CLIENT
    CLUSTER = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                           dashboard_address="127.0.0.1:0")
    CLIENT = Client(CLUSTER)


def tearDownModule():
    CLIENT.close()
    CLUSTER.close()


def cli_batch(rules, data, *extra):
    return subprocess.run([CLI, "batch", "--rules", rules, "--data", data, "--format", "csv", *extra],
                          capture_output=True)


def dask_command(rules, data, *extra, scheduler=True):
    command = DASK_BATCH + ["--rules", rules, "--data", data, *extra]
    return command + (["--scheduler", CLUSTER.scheduler_address] if scheduler else [])


def dask_batch(rules, data, *extra, scheduler=True):
    return subprocess.run(dask_command(rules, data, *extra, scheduler=scheduler), capture_output=True)


def diagnostics(stderr):
    """The lines of standard error that are about the files and rows (the summary's layout is the tool's own)."""
    return [line for line in stderr.decode().splitlines() if line.startswith("rulecalc:")]


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
        """Same report, same exit status, same diagnostics (but for the program's name)."""
        self.assertEqual(ours.stdout, theirs.stdout)
        self.assertEqual(ours.returncode, theirs.returncode, ours.stderr.decode())
        self.assertEqual(diagnostics(ours.stderr.replace(b"rulecalc-dask:", b"rulecalc:")),
                         diagnostics(theirs.stderr))


class SameReportAsTheTool(TempFiles):
    def test_example_data_on_a_local_cluster_of_its_own(self):
        ours = dask_batch(EXAMPLE_RULES, EXAMPLE_DATA, "--workers", "2", "--block-size", "8K", scheduler=False)
        theirs = cli_batch(EXAMPLE_RULES, EXAMPLE_DATA)
        self.assertSameRun(ours, theirs)
        self.assertEqual(ours.stderr.replace(b"rulecalc-dask:", b"rulecalc:"), theirs.stderr, "the summary")
        self.assertEqual(ours.stdout.count(b"\r\n"), 1 + 300 * 9)

    def test_bad_rows_whatever_the_blocks(self):
        rules, data = self.file("r.rules", RULES.encode()), self.file("bad.csv", BAD_DATA)
        theirs = cli_batch(rules, data)
        self.assertIn(b"row 6 skipped", theirs.stderr)
        for block_size in ("1", "7", "40", "1M"):
            with self.subTest(block_size=block_size):
                self.assertSameRun(dask_batch(rules, data, "--block-size", block_size), theirs)
        options = ("--key", "ID", "--null-values", "N/A,-", "--show-values", "--bom")
        self.assertSameRun(dask_batch(rules, data, *options, "--block-size", "40"), cli_batch(rules, data, *options))
        huge = self.file("huge.csv", b"ID:text,AGE,SCORE,NOTE\n1,20,70,\"" + b"x\n" * 800000 + b"\"\n2,20,70,ok\n"
                         b"3,20,70,\"never closed\n" + b"4,20,70,ok\n" * 400000)
        self.assertSameRun(dask_batch(rules, huge, "--block-size", "1M"), cli_batch(rules, huge))
        utf8 = self.file("utf8.csv", b"ID:text,AGE,SCORE,NOTE\n1,20,70,\xe4\xb8\xad \xf0\x9f\x98\x80 emoji\n2,20,70,ok\n")
        self.assertSameRun(dask_batch(rules, utf8), cli_batch(rules, utf8))

    def test_failed_only_and_several_files_as_one_table(self):
        rules = self.file("r.rules", RULES.encode())
        head, rows = BAD_DATA.split(b"\r\n", 1)
        parts = rows.split(b"\n4,")
        self.file("a.csv", head + b"\r\n" + parts[0] + b"\n")
        self.file("b.csv", head + b"\n4," + parts[1])
        whole = self.file("whole.bin", head + b"\r\n" + parts[0] + b"\n4," + parts[1])
        ours = dask_batch(rules, self.folder, "--failed-only", "--key", "id", "--block-size", "64")
        theirs = cli_batch(rules, whole, "--failed-only", "--key", "id")
        self.assertEqual(ours.stdout, theirs.stdout)
        self.assertEqual(ours.stderr.count(b"skipped"), theirs.stderr.count(b"skipped"))

    def test_cells_a_spreadsheet_would_take_for_formulas_start_with_a_quote(self):
        keys = [("=1+1", "'=1+1"), ("-5", "-5"), ("-5x", "'-5x"), ("@SUM(A1)", "'@SUM(A1)"), ("+x", "'+x"), ("\tx", "'\tx"),
                ("\rx", "'\rx"), ("plain", "plain"), ("a=b", "a=b")]
        rule_ids = [("=cmd", "'=cmd"), ("-r", "'-r"), ("age", "age")]
        rules = self.file("r.rules", b"".join(b"%s: AGE >= 18;\n" % written.encode() for written, _ in rule_ids))
        data = self.file("d.csv", b"ID:text,AGE\n" + b"".join(b'"%s",20\n' % written.encode() for written, _ in keys))
        for raw in (False, True):
            with self.subTest(raw=raw):
                ours = dask_batch(rules, data, "--key", "ID", *(["--raw-cells"] if raw else []))
                self.assertEqual(ours.returncode, 0, ours.stderr.decode())
                cells = [(line[1], line[2]) for line in csv.reader(io.StringIO(ours.stdout.decode(), newline=""))][1:]
                expected = [(key[not raw], rule_id[not raw]) for key in keys for rule_id in rule_ids]
                self.assertEqual(cells, expected)
                theirs = cli_batch(rules, data, "--key", "ID", *(["--raw-cells"] if raw else []))
                self.assertEqual(ours.stdout, theirs.stdout)
        self.assertIn(b"\r\n1,\"'=1+1\",\"'=cmd\",true,\r\n", dask_batch(rules, data, "--key", "ID").stdout)

    def test_a_value_holding_a_nul_is_an_error_for_the_rules_that_read_it(self):
        rules = self.file("r.rules", b'note: NOTE = "ab";\nage: AGE > 1;\n')
        data = self.file("d.csv", b"AGE,NOTE\n2,ab\n2,\"ab\x00cd\"\n")
        ours = dask_batch(rules, data)
        self.assertEqual(ours.returncode, 2, ours.stderr.decode())
        self.assertEqual(ours.stdout.split(b"\r\n")[3:6],
                         [b'2,note,error,"the value of NOTE has a NUL byte at byte 3, which no rule can read"',
                          b"2,age,true,", b""])
        self.assertEqual(ours.stdout, cli_batch(rules, data).stdout)

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
            (full, None, 74, b"cannot write the report to standard output: No space left on device"),
            (None, full, 74, b"cannot write the report '%s': No space left on device\n" % full.encode()),
            (None, null, 0, b"summary:"),
            (None, link, 74, b"cannot write the report '%s': No space left on device\n" % link.encode()),
        ]
        for stdout, output, status, words in cases:
            with self.subTest(stdout=stdout, output=output), open(stdout or os.devnull, "wb") as out:
                extra = ("--output", output) if output else ()
                ours = subprocess.run(dask_command(EXAMPLE_RULES, EXAMPLE_DATA, *extra), stdout=out,
                                      stderr=subprocess.PIPE)
                self.assertEqual(ours.returncode, status, ours.stderr.decode())
                self.assertIn(words, ours.stderr)
                self.assertTrue(all(stat.S_ISCHR(os.stat(d).st_mode) for d in (full, null)) and os.path.islink(link))

    def test_a_part_that_cannot_be_written_leaves_no_temporary_file(self):
        from rulecalc._batch.partition import write_part
        from rulecalc._batch.problems import ReportError
        part = os.path.join(self.folder, "part-00000.csv")
        # The temporary name leads to a full device, as a full disk would take the part.
        os.symlink(self.device("full", 7), "%s.tmp-%d" % (part, os.getpid()))
        with self.assertRaisesRegex(ReportError, "No space left on device"):
            write_part(part, b"row,rule,result,explanation\r\n", b"1,r,true,\r\n" * 1000)
        self.assertEqual(os.listdir(self.folder), ["full"])

    def test_report_folder_holds_the_report_in_parts(self):
        output = os.path.join(self.folder, "out") + os.sep
        ours = dask_batch(EXAMPLE_RULES, EXAMPLE_DATA, "--block-size", "16K", "--output", output)
        self.assertEqual(ours.returncode, 0, ours.stderr.decode())
        names = sorted(os.listdir(output))
        self.assertEqual(names, ["part-%05d.csv" % i for i in range(len(names))])
        self.assertGreater(len(names), 2)
        heading = b"row,rule,result,explanation\r\n"
        joined = heading
        for name in names:
            with open(os.path.join(output, name), "rb") as part:
                content = part.read()
            self.assertTrue(content.startswith(heading))
            joined += content[len(heading):]
        self.assertEqual(joined, cli_batch(EXAMPLE_RULES, EXAMPLE_DATA).stdout)


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
                self.assertSameRun(dask_batch(rules, data), cli_batch(rules, data))


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
        command = dask_command(EXAMPLE_RULES, data, "--block-size", "1M", "--progress", "--output", output)
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
        theirs = cli_batch(EXAMPLE_RULES, data, "--jobs", "2")
        with open(output, "rb") as report:
            self.assertEqual(report.read(), theirs.stdout)


if __name__ == "__main__":
    unittest.main()
