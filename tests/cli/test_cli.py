"""The rulecalc command-line tool, end to end.

Runs the built tool (RULECALC_CLI) as a person would and checks exit
statuses, the UTF-8 round trip through the library's GBK, the caret of
check, the listings and the batch report. The date rules of the shipped
example only need to analyse here; no expectation depends on a date result.
"""

import csv
import io
import json
import os
import resource
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from xml.etree import ElementTree

CLI = os.environ.get("RULECALC_CLI", "rulecalc")
EXAMPLES = os.environ.get("RULECALC_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
UTF8_ENV = dict(os.environ, LC_ALL="C.UTF-8")


def run(*args, env=None, encoding="utf-8"):
    """Runs the tool; returns (status, stdout, stderr) as text."""
    completed = subprocess.run([CLI, *args], capture_output=True, env=env or UTF8_ENV, timeout=120)
    return completed.returncode, completed.stdout.decode(encoding), completed.stderr.decode(encoding)


class TemporaryFiles:
    """Files written into a temporary directory for one test."""

    def __init__(self, test):
        self.directory = tempfile.TemporaryDirectory()
        test.addCleanup(self.directory.cleanup)

    def write(self, name, content, encoding="utf-8"):
        path = os.path.join(self.directory.name, name)
        data = content if isinstance(content, bytes) else content.encode(encoding)
        with open(path, "wb") as file:
            file.write(data)
        return path


class EvalExitStatus(unittest.TestCase):
    CASES = [
        # (arguments, status, stdout)
        (["A>1;", "A=5"], 0, "true\n"),
        (["A>1;", "A=0"], 1, "false\nA::A>1;\n"),
        (["2<1;"], 1, "false\n"),
        (["IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;", "AGE=20", "SCORE=50"], 1,
         "false\nSCORE::IF AGE>=18 成立则 SCORE>=60 \n"),
        (["IF AGE>=18 THEN SCORE>=60;", "AGE=10", "SCORE=50"], 0, "true\n"),
        (["A>1"], 2, ""),
        (["A>1;"], 2, ""),
        (["N = NULL;", "N="], 0, "true\n"),
        (["C = \"007\";", "C:text=007"], 0, "true\n"),
        (["C = 7;", "C=007"], 0, "true\n"),
        (["C = 7;", "C:num=007"], 0, "true\n"),
        (["T || \"x\" = \"ax\";", "T=a"], 0, "true\n"),
        (["YEAR(TODATE(D))=2024;", "D=2024-01-05"], 1,
         "false\nD::YEAR(TODATE(D))=2024;\nnote: TODATE could not read D '2024-01-05': expected m/d/y with '/'\n"
         "  YEAR(TODATE(D))=2024;\n       ^^^^^^\n"),
        (["--date-order", "ymd", "--date-separator", "-", "YEAR(TODATE(D))=2024;", "D=2024-01-05"], 0, "true\n"),
        (["--date-separator", "x", "A>1;", "A=5"], 64, ""),
        (["NOT>1;", "NOT=2"], 0, "true\n"),
        (["--language", "extended", "NOT>1;", "NOT=2"], 2, ""),
        (["--language", "modern", "A>1;", "A=5"], 64, ""),
        (["X + 1 > 0;", "X:num=12x"], 0,
         "true\nnote: X could not be read as a number '12x': expected a number with '.' before its fraction; "
         "read as the null number\n  X + 1 > 0;\n  ^\n"),
        (["A>1;", "A"], 64, ""),
        (["A>1;", "A=1", "a=5"], 64, ""),
        (["A>1;", "A:date=1"], 64, ""),
        ([], 64, ""),
        (["--no-such-option", "A>1;"], 64, ""),
    ]

    def test_statuses_and_output(self):
        for arguments, status, stdout in self.CASES:
            with self.subTest(arguments=arguments):
                code, out, _ = run("eval", *arguments)
                self.assertEqual(code, status)
                self.assertEqual(out, stdout)

    def test_a_variable_given_twice_is_a_usage_error_naming_it(self):
        self.assertIn("the variable A is given twice (A=1 and a=5)", run("eval", "A>1;", "A=1", "a=5")[2])

    def test_analysis_error_names_the_message_on_stderr(self):
        code, out, err = run("eval", "A>1", "A=5")
        self.assertEqual((code, out), (2, ""))
        self.assertIn("表达式语句结尾处缺少分号!", err)

    def test_the_type_suffix_decides_text_or_number(self):
        self.assertEqual(run("eval", "LENGTH(C) = 3;", "C:text=007")[0], 0)
        self.assertEqual(run("eval", "LENGTH(C) = 3;", "C=007")[0], 2)


class Utf8RoundTrip(unittest.TestCase):
    def test_a_chinese_character_is_two_gbk_bytes(self):
        self.assertEqual(run("eval", "LENGTH(N) = 2;", "N=中")[0], 0)
        self.assertEqual(run("eval", "LENGTH(N) = 6;", "N=北京市")[0], 0)
        self.assertEqual(run("eval", "SUBSTR(N, 2, 2) = \"京\";", "N=北京市")[0], 0)

    def test_chinese_literals_and_values_compare_equal(self):
        self.assertEqual(run("eval", "CITY = \"北京\";", "CITY=北京")[0], 0)
        self.assertEqual(run("eval", "CITY = \"北京\";", "CITY=上海")[:2], (1, "false\nCITY::CITY = \"北京\";\n"))

    def test_another_terminal_encoding(self):
        env = dict(os.environ, LC_ALL="C")
        sentence = "CITY = \"北京\";".encode("gb18030")
        completed = subprocess.run([CLI, "--encoding", "GB18030", "eval", sentence, "CITY=上海".encode("gb18030")],
                                   capture_output=True, env=env, timeout=60)
        self.assertEqual(completed.returncode, 1)
        self.assertEqual(completed.stdout.decode("gb18030"), "false\nCITY::CITY = \"北京\";\n")

    def test_the_c_locale_counts_as_utf8(self):
        env = dict(os.environ, LC_ALL="C")
        self.assertEqual(run("eval", "LENGTH(N) = 2;", "N=中", env=env)[0], 0)
        self.assertIn("成立则", run("eval", "IF A>1 THEN B<2;", "A=5", "B=7", env=env)[1])

    def test_unconvertible_input_is_a_clear_error(self):
        completed = subprocess.run([CLI, "eval", b"N = \"\xff\";", b"N=x"], capture_output=True, env=UTF8_ENV)
        self.assertEqual(completed.returncode, 64)
        self.assertIn("the sentence cannot be converted to GBK at byte 6", completed.stderr.decode())
        code, _, err = run("eval", "N = \"x\";", "N=😀")
        self.assertEqual(code, 64)
        self.assertIn("the value of N cannot be converted to GBK", err)

    def test_unknown_encoding_is_a_usage_error(self):
        code, _, err = run("--encoding", "NO-SUCH", "eval", "A>1;", "A=1")
        self.assertEqual(code, 64)
        self.assertIn("unknown encoding", err)


class Check(unittest.TestCase):
    def caret(self, sentence, *variables):
        code, out, err = run("check", sentence, *variables)
        self.assertEqual((code, out), (2, ""))
        lines = err.splitlines()
        return lines[0], lines[-2], lines[-1]

    def test_ok(self):
        self.assertEqual(run("check", "A>1;", "A=0"), (0, "ok\n", ""))

    def test_a_text_compared_with_a_number_or_texts_ordered_are_ok_with_a_warning_and_a_caret(self):
        mixed = "warning: 字符串与数值比较,结果不可靠!\n  X > 1 AND A = 1;\n              ^\n"
        ordered = "warning: 字符串按字节逐个比较大小,结果不可靠!\n  A < B;\n    ^\n"
        for command, sentence, status, out, warning in (
                ("check", "X > 1 AND A = 1;", 0, "ok\n", mixed),
                ("eval", "X > 1 AND A = 1;", 1, "false\nX::X > 1 ;\n", mixed),
                ("check", "A < B;", 0, "ok\n", ordered),
                ("eval", "A < B;", 0, "true\n", ordered)):
            with self.subTest(command=command, sentence=sentence):
                self.assertEqual(run(command, sentence, "A:text=x", "B:text=y", "X=1"), (status, out, warning))

    def test_a_fallback_of_a_run_with_the_values_given_is_noted_under_ok(self):
        self.assertEqual(run("check", "10/N > 1;", "N=0"),
                         (0, "ok\n", "note: / could not divide by N '0': the divisor is 0; the result is 0\n"
                                     "  10/N > 1;\n    ^\n"))

    def test_caret_under_the_token_where_analysis_stopped(self):
        message, line, marker = self.caret("IF AGE>=18 THEN SCORE;", "AGE=20", "SCORE=50")
        self.assertEqual(message, "analysis error: 表达式后必须跟比较运算符!")
        self.assertEqual(line, "  IF AGE>=18 THEN SCORE;")
        self.assertEqual(marker, "  " + " " * line[2:].index(";") + "^")

    def test_caret_counts_terminal_columns_after_chinese_text(self):
        _, line, marker = self.caret("N = \"北京\" X;", "N=a")
        self.assertEqual(line, "  N = \"北京\" X;")
        # the two Chinese characters take four columns: the caret is under ";" (the token after X)
        self.assertEqual(marker, "  " + " " * 12 + "^")

    def test_caret_at_the_end_of_an_unfinished_sentence(self):
        _, line, marker = self.caret("A>1", "A=0")
        self.assertEqual((line, marker), ("  A>1", "     ^"))

    RULES_AGAINST_DATA = [
        # (rules, data, status, stdout, what standard error holds)
        ("a: AGE > 1;\n", "AGE\n1\n", 0, "ok\n", []),
        ("a: AGE > 1;\nb: AGEE > 1 AND INCOME > 2;\n", "ID,age,Income_x\n1,2,3\n", 2, "",
         ["r.rules:2: rule b: no column AGEE; did you mean age?\n  AGEE > 1 AND INCOME > 2;\n  ^^^^\n",
          "r.rules:2: rule b: no column INCOME; did you mean Income_x?\n", "d.csv: no rule uses the column 'ID'\n"]),
        ("a: CODE = 1;\n", "CODE\nx\n", 0, "ok\n", ["r.rules:1: rule a: warning: 字符串与数值比较,结果不可靠!\n  CODE = 1;\n"]),
        ("a: CODE = 1;\n", "CODE:num\nx\n", 0, "ok\n", []),
        ("a: PAID <= OWED;\n", "PAID,OWED\n\"12,345.00\",\"9,000.00\"\n", 0, "ok\n",
         ["r.rules:1: rule a: warning: 字符串按字节逐个比较大小,结果不可靠!\n  PAID <= OWED;\n       ^\n",
          'declare it as "PAID:num(#,##0.00)" in the header']),
        ("a: AGE >= ;\n", "AGE\n1\n", 2, "", ["r.rules:1: rule a is left out: analysis error: 表达式语法定义错误!\n"]),
        ("a: AGE > 1;\na: AGE > 2;\n", "AGE\n1\n", 64, "", ["r.rules:2: the rule id 'a' is used twice"]),
        ("a: AGE > 1;\n", "AGE,age\n1,2\n", 64, "", ["twice"]),
        ("a: AGE > 1;\n", b"PK\x03\x04\x14\x00\x00", 64, "", ["d.csv' is no workbook: its zip archive cannot be read"]),
    ]

    def test_rules_against_the_columns_of_data(self):
        files = TemporaryFiles(self)
        for rules, data, status, stdout, findings in self.RULES_AGAINST_DATA:
            with self.subTest(rules=rules, data=data):
                code, out, err = run("check", "--rules", files.write("r.rules", rules),
                                     "--data", files.write("d.csv", data), "--null-values", "-")
                self.assertEqual((code, out), (status, stdout), err)
                for finding in findings:
                    self.assertIn(finding, err.replace(files.directory.name + "/", ""))
                if not findings:
                    self.assertEqual(err, "")

    def test_one_form_or_the_other(self):
        files = TemporaryFiles(self)
        rules, data = files.write("r.rules", "a: A > 1;"), files.write("d.csv", "A\n1\n")
        for arguments in ([], ["--rules", rules], ["A>1;", "--rules", rules, "--data", data]):
            with self.subTest(arguments=arguments):
                self.assertEqual(run("check", *arguments)[0], 64)

    def test_an_unknown_variable(self):
        message, _, marker = self.caret("AGE > LIMIT;", "AGE=1")
        self.assertIn("LIMIT", message)
        self.assertEqual(marker, "        ^^^^^")


class ControlCharactersAreShown(unittest.TestCase):
    """Data and rules cannot retitle, clear or drive the terminal: control characters show as \\xNN."""

    CASES = [
        # (arguments, which stream, what it shows)
        (["eval", 'T = "x";', "T=\x1b]0;pwned\x07"], 1, 'T::T = "x";'),
        (["eval", 'T = "\x1b[2J";', "T=x"], 1, 'T::T = "\\x1B[2J";'),
        (["check", 'T = "\x1b[2J" X;', "T=x"], 2, '  T = "\\x1B[2J" X;\n' + " " * 17 + "^"),
        (["tokens", 'T = "\x1b[2J";'], 1, '"\\x1B[2J"'),
        (["tokens", "--raw", 'T = "\x1b[2J";'], 1, 'T;=;"\\x1B[2J";;;'),
    ]

    def test_in_every_command(self):
        for arguments, stream, shown in self.CASES:
            with self.subTest(arguments=arguments):
                output = run(*arguments)
                self.assertIn(shown, output[stream])
                self.assertNotIn("\x1b", output[1] + output[2])

    def test_in_the_batch_report_and_its_diagnostics(self):
        files = TemporaryFiles(self)
        rules = files.write("r.rules", 'r\x07: "\x1b[2J" = A;\n')
        data = files.write("d.csv", "K,A,B\x1b[2J\n\x1b]0;x\x07,2,1\n" + "1,0,3\n" * 3)
        code, out, err = run("batch", "--rules", rules, "--data", data, "--key", "K")
        self.assertEqual(code, 0)
        self.assertIn("1       \\x1B]0;x\\x07  r\\x07  false", out)
        self.assertIn('r.rules:1: rule r\\x07: warning: 字符串与数值比较,结果不可靠!\n  "\\x1B[2J" = A;\n', err)
        self.assertIn("column 'B\\x1B[2J'", err)
        self.assertIn("column K is read as text because 1 of its 4 values are not numbers: row 1 \"\\x1B]0;x\\x07\"", err)
        self.assertNotIn("\x1b", out + err)
        self.assertNotIn("\x07", out + err)


class Listings(unittest.TestCase):
    def test_tokens_numbers_and_names(self):
        self.assertEqual(run("tokens", "IF x >= 10 THEN y = \"a;b\";")[1], "IF\nx\n>=\n10\nTHEN\ny\n=\n\"a;b\"\n;\n")
        self.assertEqual(run("numbers", "IF x >= 10 THEN y = 2.5 ELSE y = 0;")[1], "10\n2.5\n0\n")
        self.assertEqual(run("varnames", "a + A + b1 + B1 > 0;")[1], "a\nb1\n")
        self.assertEqual(run("tokens", "--raw", "A+B")[1], "A;+;B;\n")
        self.assertEqual(run("tokens", "N=\"中\";")[1], "N\n=\n\"中\"\n;\n")
        self.assertEqual(run("tokens", "N=中;")[1], "N\n=\n\\xD6\n\\xD0\n;\n")
        self.assertEqual(run("varnames", "--language", "extended", "NOT + A > 0;")[1], "A\n")


class HelpAndVersion(unittest.TestCase):
    def test_every_command_has_help_with_an_example(self):
        for command in ([], ["eval"], ["check"], ["tokens"], ["numbers"], ["varnames"], ["batch"]):
            with self.subTest(command=command):
                code, out, _ = run(*command, "--help")
                self.assertEqual(code, 0)
                self.assertIn("Example:", out)
                self.assertIn("rulecalc ", out[out.index("Example:"):])

    def test_version(self):
        code, out, _ = run("--version")
        self.assertEqual(code, 0)
        self.assertEqual(out.strip(), "rulecalc " + os.environ.get("RULECALC_VERSION", out.split()[-1]))


SMALL_RULES = """\
# small rules for the tests
adult: AGE >= 18;
name: LENGTH(NAME) >= 4 AND FINDSTR(NOTE, ",") >= 0;
both: AGE >= 18 AND SCORE >= 60;
"""

SMALL_DATA = (
    'NAME,AGE,SCORE,NOTE:text\r\n'
    '张伟,20,70,"a, b"\r\n'
    '李,17,50,"line one\nline two"\r\n'
    'too,few\r\n'
    '"王""小""明",30,,"x,y"\r\n'
)


class Batch(unittest.TestCase):
    def setUp(self):
        self.files = TemporaryFiles(self)
        self.rules = self.files.write("rules.txt", SMALL_RULES)
        self.data = self.files.write("data.csv", SMALL_DATA)

    def batch(self, *extra, rules=None, data=None):
        return run("batch", "--rules", rules or self.rules, "--data", data or self.data, *extra)

    def test_csv_report_row_by_row(self):
        code, out, err = self.batch("--format", "csv")
        self.assertEqual(code, 0)
        records = list(csv.reader(io.StringIO(out, newline="")))
        self.assertEqual(records, [
            ["row", "rule", "result", "explanation"],
            ["1", "adult", "true", ""],
            ["1", "name", "true", ""],
            ["1", "both", "true", ""],
            ["2", "adult", "false", "AGE::AGE >= 18;"],
            ["2", "name", "false", 'NAME::LENGTH(NAME) >= 4 ;NOTE:: FINDSTR(NOTE, ",") >= 0;'],
            ["2", "both", "false", "AGE::AGE >= 18 ;SCORE:: SCORE >= 60;"],
            ["4", "adult", "true", ""],
            ["4", "name", "true", ""],
            ["4", "both", "false", "SCORE:: SCORE >= 60;"],
        ])
        self.assertIn("data.csv:5: row 3 skipped: it has 2 fields where the header has 4", err)
        self.assertIn("summary: 3 rows evaluated, 1 skipped as malformed", err)

    def test_text_report_shows_what_needs_attention_then_the_summary(self):
        code, out, err = self.batch("--key", "name")
        self.assertEqual(code, 0)
        lines = out.splitlines()
        self.assertEqual(lines[0].split(), ["row", "NAME", "rule", "result", "explanation"])
        self.assertEqual([line.split()[:4] for line in lines[1:5]],
                         [["2", "李", "adult", "false"], ["2", "李", "name", "false"], ["2", "李", "both", "false"],
                          ['4', '王"小"明', "both", "false"]])
        self.assertEqual(lines[5:10], [
            "",
            "summary: 3 rows evaluated, 1 skipped as malformed",
            "rule       held    failed    errors",
            "both          1         2         0",
            "adult         2         1         0",
        ])
        self.assertIn("most common explanations:\nboth:\n         1x  AGE::AGE >= 18 ;SCORE:: SCORE >= 60;\n", out)
        self.assertIn("row 3 skipped", err)
        self.assertEqual([line.split()[1:3] for line in self.batch("--all")[1].splitlines()[1:4]],
                         [["adult", "true"], ["name", "true"], ["both", "true"]])
        self.assertIn("[AGE=17, SCORE=50]", self.batch("--show-values")[1])

    def test_csv_cells_that_look_like_formulas_are_kept_as_text_unless_raw_cells(self):
        data = self.files.write("f.csv", 'K:text,AGE\n"=HYPERLINK(""http://x"")",20\n-5,20\n')
        rules = self.files.write("adult.txt", "adult: AGE >= 18;\n")
        for extra, keys in (([], ["'=HYPERLINK(\"http://x\")", "-5"]), (["--raw-cells"], ["=HYPERLINK(\"http://x\")", "-5"])):
            with self.subTest(extra=extra):
                code, out, _ = self.batch("--format", "csv", "--key", "K", *extra, rules=rules, data=data)
                self.assertEqual(code, 0)
                self.assertEqual([record[1] for record in csv.reader(io.StringIO(out, newline=""))][1:], keys)

    def test_jsonl_report(self):
        code, out, _ = self.batch("--format", "jsonl")
        self.assertEqual(code, 0)
        objects = [json.loads(line) for line in out.splitlines()]
        self.assertEqual(objects[3], {"row": 2, "rule": "adult", "result": "false", "explanation": "AGE::AGE >= 18;"})
        self.assertEqual(objects[-1], {"summary": {"rows_evaluated": 3, "rows_skipped": 1}})
        self.assertEqual(objects[-2], {"summary": {"rule": "both", "held": 1, "failed": 2, "errors": 0}})

    def test_explanations_belong_to_their_own_row(self):
        data = self.files.write("same.csv", "NAME,AGE,SCORE,NOTE\nab,1,1,x\nab,1,1,x\nab,1,1,x\n")
        _, out, _ = self.batch("--format", "csv", data=data)
        explanations = [record[3] for record in csv.reader(io.StringIO(out, newline="")) if record[1] == "both"]
        self.assertEqual(explanations, ["AGE::AGE >= 18 ;SCORE:: SCORE >= 60;"] * 3)

    def test_a_value_that_cannot_be_converted_is_an_error_for_the_rules_naming_it(self):
        # ʤ is not in GBK: it passes in its four GB18030 bytes (LENGTH counts them); \xff\xfe is no UTF-8 at all
        data = self.files.write("bad.csv", SMALL_DATA.encode() + b'\xff\xfe,40,90,x\r\n' + 'ʤ赵,40,90,"x,y"\r\n'.encode())
        code, out, err = self.batch("--format", "csv", "--show-values", "--data-encoding", "UTF-8", data=data)
        self.assertEqual(code, 2)
        records = list(csv.reader(io.StringIO(out, newline="")))[-6:]
        self.assertEqual([r[:3] for r in records], [["5", "adult", "true"], ["5", "name", "error"], ["5", "both", "true"],
                                                    ["6", "adult", "true"], ["6", "name", "true"], ["6", "both", "true"]])
        self.assertIn("the value of NAME cannot be converted to GBK at byte 1 (\\xFF\\xFE)", records[1][3])
        self.assertNotIn("row 5 skipped", err)

    def test_output_file(self):
        target = os.path.join(self.files.directory.name, "report.csv")
        code, out, _ = self.batch("--format", "csv", "--output", target)
        self.assertEqual((code, out), (0, ""))
        with open(target, encoding="utf-8", newline="") as file:
            self.assertEqual(next(csv.reader(file)), ["row", "rule", "result", "explanation"])

    def test_a_rule_that_does_not_analyse_is_left_out_and_the_status_is_2(self):
        rules = self.files.write("broken.txt", SMALL_RULES + "broken: AGE >= ;\n")
        code, out, err = self.batch("--format", "csv", rules=rules)
        self.assertEqual(code, 2)
        self.assertIn("broken.txt:5: rule broken is left out: analysis error: 表达式语法定义错误!\n  AGE >= ;\n         ^\n", err)
        self.assertNotIn(",broken,", out)
        self.assertIn("not analysed", err)

    def test_a_variable_no_column_has_stops_the_batch_before_its_first_row_as_check_finds_it(self):
        rules = self.files.write("unknown.txt", SMALL_RULES + "unknown: NOBODY > 1 AND age > 1;\n")
        report = os.path.join(self.files.directory.name, "report.csv")
        code, out, err = self.batch("--output", report, rules=rules)
        self.assertEqual((code, out, os.path.exists(report)), (2, "", False))
        finding = rules + ":5: rule unknown: no column NOBODY\n  NOBODY > 1 AND age > 1;\n  ^^^^^^\n"
        self.assertEqual(err, "rulecalc: " + finding + "rulecalc: nothing was evaluated: 1 rule names a variable "
                              "that no column of '" + self.data + "' has\n")
        self.assertEqual(run("check", "--rules", rules, "--data", self.data), (2, "", "rulecalc: " + finding))

    THRESHOLDS = [
        # (rules file lines after the rules, options, status, what the summary on standard error holds)
        ("", [], 0, "summary: 3 rows evaluated"),
        ("", ["--max-failed", "both=2"], 0, "thresholds:\n  within   --max-failed both=2: 2 of 3 rows failed\n"),
        ("", ["--max-failed", "both=1"], 1, "  crossed  --max-failed both=1: 2 of 3 rows failed\n"),
        ("", ["--max-failed", "both=50%", "--max-failed", "adult=0"], 1,
         "  crossed  --max-failed adult=0: 1 of 3 rows failed\n  crossed  --max-failed both=50%: 2 of 3 rows failed\n"),
        ("", ["--fail-on", "failed"], 1, "  crossed  --fail-on failed: 4 of 9 verdicts were false\n"),
        ("", ["--fail-on", "error"], 0, "  within   --fail-on error: 0 of 9 verdicts were errors\n"),
        ("@max-failed both 1\n", [], 1, "  crossed  @max-failed both 1: 2 of 3 rows failed\n"),
        ("@max-failed both 1\n", ["--max-failed", "both=67%"], 0, "  within   --max-failed both=67%: 2 of 3 rows failed\n"),
        ("broken: AGE >= ;\n", ["--fail-on", "failed"], 2, "  crossed  --fail-on failed"),  # 2 wins over 1
        ("", ["--max-failed", "nobody=1"], 64, "--max-failed: the rules file '"),
        ("", ["--max-failed", "both=1.5"], 64, "--max-failed both: '1.5' is neither a number of rows nor a percentage"),
        ("", ["--fail-on", "warning"], 64, "--fail-on"),
    ]

    def test_thresholds_decide_status_1_and_the_summary_marks_them(self):
        for more_rules, options, status, summary in self.THRESHOLDS:
            with self.subTest(rules=more_rules, options=options):
                rules = self.files.write("thresholds.txt", SMALL_RULES + more_rules)
                code, _, err = self.batch("--format", "csv", *options, rules=rules)
                self.assertEqual(code, status, err)
                self.assertIn(summary, err)
                if not options and not more_rules:
                    self.assertNotIn("thresholds:", err)

    def test_data_from_a_pipe_when_every_column_is_typed(self):
        typed = "AGE:num,NAME:text,SCORE:num,NOTE:text\n20,ab,70,x\n10,ab,70,x\n"
        completed = subprocess.run([CLI, "batch", "--rules", self.rules, "--data", "/dev/stdin", "--format", "csv"],
                                   input=typed.encode(), capture_output=True, env=UTF8_ENV, timeout=60)
        self.assertEqual(completed.returncode, 0)
        self.assertIn("2,adult,false,AGE::AGE >= 18;", completed.stdout.decode())
        untyped = typed.replace("AGE:num", "AGE")
        completed = subprocess.run([CLI, "batch", "--rules", self.rules, "--data", "/dev/stdin"],
                                   input=untyped.encode(), capture_output=True, env=UTF8_ENV, timeout=60)
        self.assertEqual(completed.returncode, 64)
        self.assertIn("give every column a type", completed.stderr.decode())
        completed = subprocess.run([CLI, "batch", "--rules", self.rules, "--data", "-", "--format", "csv"],
                                   input=untyped.encode(), capture_output=True, env=UTF8_ENV, timeout=60)
        self.assertEqual(completed.returncode, 0)
        self.assertIn("2,adult,false,AGE::AGE >= 18;", completed.stdout.decode())

    def test_the_rules_files_language_and_the_option_over_it(self):
        rules = self.files.write("extended.rules", "@language extended\nr: NOT > 1;\n")
        data = self.files.write("not.csv", "NOT\n2\n")
        status, _, err = self.batch(rules=rules, data=data)
        self.assertEqual(status, 2)
        self.assertIn("no rule can name the column 'NOT': it is a word of the rule language", err)
        self.assertEqual(self.batch("--language", "classic", rules=rules, data=data)[0], 0)

    def test_usage_errors(self):
        cases = [
            ("no colon", self.files.write("r1.txt", "AGE >= 18;\n"), self.data, "r1.txt:1:1: expected 'id: sentence;'"),
            ("repeated id", self.files.write("r2.txt", "a: AGE>1;\na: AGE>2;\n"), self.data, "used twice"),
            ("missing data", self.rules, "/nonexistent.csv", "cannot read the data file"),
            ("repeated column", self.rules, self.files.write("d.csv", "AGE,age\n1,2\n"), "twice"),
            ("empty data", self.rules, self.files.write("e.csv", ""), "no header"),
            ("@column of no column", self.files.write("r3.txt", "@column 年龄 AGE\na: AGE>1;\n"), self.data,
             "r3.txt:1:1: @column 年龄 AGE: the header has no column '年龄'"),
        ]
        for name, rules, data, message in cases:
            with self.subTest(name):
                code, _, err = self.batch(rules=rules, data=data)
                self.assertEqual(code, 64)
                self.assertIn(message, err)
        self.assertEqual(self.batch("--jobs", "0")[0], 64)
        self.assertEqual(self.batch("--format", "xml")[0], 64)


class BatchKeepsTheUsersFiles(unittest.TestCase):
    def setUp(self):
        self.files = TemporaryFiles(self)
        self.rules = self.files.write("rules.txt", SMALL_RULES)
        self.data = self.files.write("data.csv", SMALL_DATA)

    def test_an_output_that_is_an_input_is_refused_even_through_a_link(self):
        link = os.path.join(self.files.directory.name, "link.csv")
        os.symlink(self.data, link)
        for target, what in ((link, "the data file"), (self.rules, "the rules file")):
            code, _, err = run("batch", "--rules", self.rules, "--data", self.data, "--output", target)
            self.assertEqual(code, 64)
            self.assertIn(what, err)
        with open(self.data, encoding="utf-8", newline="") as file:
            self.assertEqual(file.read(), SMALL_DATA)

    def test_an_output_that_is_the_file_behind_standard_input_is_refused(self):
        elsewhere = os.path.join(self.files.directory.name, "elsewhere.csv")
        cases = [  # (--data, --output, status)
            ("-", self.data, 64),
            ("-", "/dev/stdin", 64),
            ("/dev/stdin", self.data, 64),
            ("-", elsewhere, 0),
        ]
        for data, output, status in cases:
            with self.subTest(data=data, output=output), open(self.data, "rb") as stdin:
                completed = subprocess.run([CLI, "batch", "--rules", self.rules, "--data", data, "--output", output],
                                           stdin=stdin, capture_output=True, env=UTF8_ENV, timeout=60)
                self.assertEqual(completed.returncode, status, completed.stderr)
                if status:
                    self.assertIn(b"choose another output, nothing was written", completed.stderr)
        with open(self.data, "ab") as stdout:  # the report appended to the data it reads
            completed = subprocess.run([CLI, "batch", "--rules", self.rules, "--data", self.data], stdout=stdout,
                                       stderr=subprocess.PIPE, env=UTF8_ENV, timeout=60)
        self.assertEqual(completed.returncode, 64)
        self.assertIn(b"standard output is the data file", completed.stderr)
        with open(self.data, encoding="utf-8", newline="") as file:
            self.assertEqual(file.read(), SMALL_DATA)

    def test_a_report_through_a_link_replaces_the_file_linked_to(self):
        report = self.files.write("report.csv", "old")
        link = os.path.join(self.files.directory.name, "report-link.csv")
        os.symlink(report, link)
        self.assertEqual(run("batch", "--rules", self.rules, "--data", self.data, "--output", link)[0], 0)
        self.assertTrue(os.path.islink(link))
        with open(report, encoding="utf-8") as file:
            self.assertIn("summary: 3 rows evaluated", file.read())

    def test_a_link_to_nothing_is_written_through_and_a_link_loop_is_refused(self):
        directory = self.files.directory.name
        dangling, loop = os.path.join(directory, "dangling.csv"), os.path.join(directory, "loop.csv")
        os.symlink("made.csv", dangling)
        os.symlink("loop.csv", loop)
        self.assertEqual(run("batch", "--rules", self.rules, "--data", self.data, "--output", dangling)[0], 0)
        with open(os.path.join(directory, "made.csv"), encoding="utf-8") as file:
            self.assertIn("summary: 3 rows evaluated", file.read())
        code, _, err = run("batch", "--rules", self.rules, "--data", self.data, "--output", loop)
        self.assertEqual(code, 64)
        self.assertIn("cannot write the output file", err)
        self.assertIn("Too many levels of symbolic links", err)
        self.assertTrue(os.path.islink(dangling) and os.path.islink(loop))

    def test_a_closed_pipe_ends_with_status_74(self):
        rules = self.files.write("one.txt", "a: A > 0;")
        data = self.files.write("many.csv", "A:num\n" + "1\n" * 300000)
        fifo = os.path.join(self.files.directory.name, "fifo")
        os.mkfifo(fifo)
        # standard output closed by its reader (| head): status 74 without a word; a named pipe: with one
        for output, message in (([], b""), (["--output", fifo], b"rulecalc: cannot write the report to '" + fifo.encode() + b"'")):
            with self.subTest(output=output):
                process = subprocess.Popen([CLI, "batch", "--rules", rules, "--data", data, "--format", "csv", *output],
                                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=UTF8_ENV)
                with (open(fifo, "rb") if output else process.stdout) as reader:
                    reader.read(10)
                _, err = process.communicate(timeout=60)
                self.assertEqual(process.returncode, 74)
                self.assertEqual(err[:len(message)], message)
                self.assertEqual(err == b"", message == b"")

    def test_a_read_only_report_is_not_replaced(self):
        report = self.files.write("report.txt", "kept\n")
        os.chmod(report, 0o444)
        code, _, err = run("batch", "--rules", self.rules, "--data", self.data, "--output", report)
        self.assertEqual(code, 64)
        self.assertIn("cannot write the output file '" + report + "': it is read-only", err)
        with open(report, encoding="utf-8") as file:
            self.assertEqual(file.read(), "kept\n")

    @unittest.skipUnless(os.path.exists("/dev/full"), "needs /dev/full")
    def test_a_full_disk_is_an_error_for_every_command(self):
        commands = [["eval", "A>1;", "A=5"], ["check", "A>1;", "A=5"], ["tokens", "A>1;"], ["numbers", "1;"],
                    ["varnames", "A;"], ["batch", "--rules", self.rules, "--data", self.data]]
        for command in commands:
            with self.subTest(command=command[0]), open("/dev/full", "wb") as full:
                completed = subprocess.run([CLI, *command], stdout=full, stderr=subprocess.PIPE, env=UTF8_ENV)
                self.assertEqual(completed.returncode, 74)
                self.assertIn("No space left on device", completed.stderr.decode())
        code, _, err = run("batch", "--rules", self.rules, "--data", self.data, "--output", "/dev/full")
        self.assertEqual(code, 74)
        self.assertIn("cannot write the report to '/dev/full'", err)

    def test_an_interrupted_run_leaves_the_previous_report_untouched(self):
        data = self.files.write("many.csv", "A:num\n" + "1\n" * 3000000)
        rules = self.files.write("one.txt", "a: A > 0;")
        report = self.files.write("report.csv", "previous report\n")
        failed = self.files.write("failed.csv", "previous failed rows\n")
        process = subprocess.Popen([CLI, "batch", "--rules", rules, "--data", data, "--output", report,
                                    "--format", "csv", "--failed-rows", failed], stderr=subprocess.PIPE, env=UTF8_ENV)
        directory = self.files.directory.name
        while not any(name.startswith(".report.csv.") for name in os.listdir(directory)):
            self.assertIsNone(process.poll(), "the run ended before it could be interrupted")
            time.sleep(0.01)
        process.send_signal(signal.SIGINT)
        _, err = process.communicate(timeout=60)
        self.assertEqual(process.returncode, -signal.SIGINT)
        self.assertIn("interrupted", err.decode())
        self.assertEqual(sorted(os.listdir(directory)),
                         ["data.csv", "failed.csv", "many.csv", "one.txt", "report.csv", "rules.txt"])
        for path, previous in ((report, "previous report\n"), (failed, "previous failed rows\n")):
            with open(path, encoding="utf-8") as file:
                self.assertEqual(file.read(), previous)

    @unittest.skipIf("ASAN_OPTIONS" in os.environ, "a sanitized tool reserves more address space than a limit allows")
    def test_many_rules_and_jobs_fit_a_memory_limit_and_what_cannot_fit_keeps_the_previous_report(self):
        def limited(megabytes, rules, data):
            limit = megabytes << 20
            return subprocess.run([CLI, "batch", "--rules", rules, "--data", data, "--output", report, "--format",
                                   "csv", "--jobs", "256"], capture_output=True, env=UTF8_ENV, timeout=120,
                                  preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
        columns = [f"A{i}" for i in range(10)]
        data = self.files.write("rows.csv", ",".join(columns) + "\n" + "".join(
            ",".join(str(row * i) for i in range(10)) + "\n" for row in range(100)))
        report = self.files.write("report.csv", "previous report\n")
        many = self.files.write("many.txt", "".join(f"r{i}: A{i % 10} > {i} AND A1 < 50;\n" for i in range(2000)))
        completed = limited(384, many, data)
        self.assertEqual(completed.returncode, 0, completed.stderr.decode()[-500:])
        with open(report, encoding="utf-8") as file:
            self.assertEqual(sum(1 for _ in file), 1 + 2000 * 100)
        report = self.files.write("report.csv", "previous report\n")
        long_rules = "".join(f"m{r}: " + " AND ".join(f"A{i % 10} > {i + r}" for i in range(1000)) + ";\n"
                             for r in range(100))
        completed = limited(48, self.files.write("long.txt", long_rules), data)
        self.assertEqual(completed.returncode, 71)
        self.assertIn("rulecalc: out of memory: the batch was stopped, '" + report + "' is left as it was",
                      completed.stderr.decode())
        self.assertEqual(sorted(os.listdir(self.files.directory.name)),
                         ["data.csv", "long.txt", "many.txt", "report.csv", "rows.csv", "rules.txt"])
        with open(report, encoding="utf-8") as file:
            self.assertEqual(file.read(), "previous report\n")

    def test_a_run_that_evaluates_no_row_exits_3(self):
        for content in ("NAME,AGE,SCORE,NOTE\n", "NAME,AGE,SCORE,NOTE\nonly,two\n"):
            code, _, err = run("batch", "--rules", self.rules, "--data", self.files.write("none.csv", content))
            self.assertEqual(code, 3)
            self.assertIn("no row of", err)


class BatchData(unittest.TestCase):
    """Types, encodings, dates and rules files as real data brings them."""

    def setUp(self):
        self.files = TemporaryFiles(self)

    def batch(self, rules, data, *extra, encoding="utf-8"):
        rules_path = self.files.write("rules.txt", rules)
        data_path = data if os.path.isabs(data) else self.files.write("data.csv", data)
        return run("batch", "--rules", rules_path, "--data", data_path, *extra, encoding=encoding)

    def test_one_placeholder_in_a_numeric_column_is_found_and_can_be_declared(self):
        rows = "".join(f"A{i},{'N/A' if i == 17 else i * 100},1\n" for i in range(1, 31))
        rules = "income: INCOME / HOUSEHOLD < 8000;\n"
        code, _, err = self.batch(rules, "ID,INCOME,HOUSEHOLD\n" + rows)
        self.assertEqual(code, 2)
        self.assertIn('column INCOME is read as text because 1 of its 30 values are not numbers: row 17 "N/A"', err)
        code, out, _ = self.batch(rules, "ID,INCOME:num,HOUSEHOLD\n" + rows, "--key", "ID", "--format", "csv")
        self.assertEqual(code, 2)
        self.assertIn("17,A17,income,error,INCOME=N/A is not a number\r\n", out)
        self.assertIn("16,A16,income,true,", out)
        self.assertEqual(self.batch(rules, "ID,INCOME,HOUSEHOLD\n" + rows, "--null-values", "N/A")[0], 0)

    def test_a_value_with_a_nul_byte_is_an_error_for_the_rules_naming_it(self):
        rules = "name: LENGTH(NAME) > 4;\nage: AGE > 1;\n"
        code, out, _ = self.batch(rules, "ID,NAME,AGE\nk1,名ab\0cdef,2\nk2,abcdef,3\n", "--key", "ID", "--format", "csv")
        self.assertEqual(code, 2)
        self.assertEqual(out.splitlines()[1:5], [
            "1,k1,name,error,\"the value of NAME has a NUL byte at byte 6, which no rule can read\"",
            "1,k1,age,true,", "2,k2,name,true,", "2,k2,age,true,"])

    def test_gbk_data_with_utf8_rules_is_detected(self):
        data = self.files.write("gbk.csv", "ID,CITY\n1,北京\n2,上海\n".encode("gbk"))
        rules = "city: CITY = \"北京\";\n"
        code, out, err = self.batch(rules, data, "--all", "--format", "csv")
        self.assertEqual(code, 0)
        self.assertIn("1,city,true,", out)
        self.assertIn("is not UTF-8 (byte 11), so it is read as GBK", err)
        _, _, err = run("--encoding", "GBK", "batch", "--rules", self.files.write("r.txt", rules), "--data", data)
        self.assertIn("it looks like UTF-8; --rules-encoding UTF-8 reads it as UTF-8", err)

    def test_dates_in_year_month_day_under_c_utf8(self):
        data = "D\n2024-01-05\n"
        rules = "day: YEAR(TODATE(D)) = 2024;\n"
        self.assertEqual(self.batch(rules, data)[0], 0)
        code, out, err = self.batch(rules, data, "--all", "--format", "csv")
        self.assertIn("1,day,false,", out)
        self.assertIn("fallbacks:\n  day: 1 row, TODATE could not read D, row 1 '2024-01-05': expected m/d/y with '/'\n",
                      err)
        self.assertIn("[D=2024-01-05; note: TODATE could not read D '2024-01-05': expected m/d/y with '/']",
                      self.batch(rules, data, "--show-values")[1])
        for extra, rules_text in ((["--date-order", "ymd", "--date-separator", "-"], rules),
                                  ([], "@date-order ymd\n@date-separator -\n" + rules)):
            code, out, _ = self.batch(rules_text, data, "--all", "--format", "csv", *extra)
            self.assertIn("1,day,true,", out)
        code, out, _ = self.batch("day: D = 45296;", "D:date(yyyy-mm-dd)\n2024-01-05\n2024-13-05\n", "--format", "csv")
        self.assertIn("1,day,true,", out)
        self.assertIn("2,day,error,D=2024-13-05 is not a date", out)

    # (header cell, value, rule, the verdict line after the row number) as the CSV has them
    WRITTEN_VALUES = [
        ('"A:num(#,##0.00)"', '"12,345.00"', "a: A = 12345;", "a,true,"),
        ('"A:num(#,##0.00)"', '"1,23,4"', "a: A = 1;", 'a,error,"A=1,23,4 is not a number as #,##0.00 writes it"'),
        ('"A:num(#,##0.00)"', "12.345", "a: A = 1;", 'a,error,"A=12.345 is not a number as #,##0.00 writes it"'),
        ('"A:num(￥#,##0.00)"', '"￥-1,200.5"', "a: A = -1200.5;", "a,true,"),
        ('"A:num(,)"', '"1,234,567.891"', "a: A > 1234567.8;", "a,true,"),
        ("A:num(0)", "12abc", "a: A = 12;", "a,error,A=12abc is not a number as 0 writes it"),
        ("D:date(yyyy-mm-dd|yyyy/m/d|yyyy年m月d日)", "2024年1月5日", "a: D = 45296;", "a,true,"),
        ("D:date(yyyy-mm-dd|yyyy/m/d|yyyy年m月d日)", "2024/1/5", "a: D = 45296;", "a,true,"),
        ("D:date(yyyy-mm-dd hh:nn|yyyy-mm-dd)", "2024-01-05 18:00", "a: D = 45296.75;", "a,true,"),
        ("D:date(yyyy-mm-dd|yyyy/m/d)", "05.01.2024", "a: D = 1;",
         "a,error,D=05.01.2024 is not a date as yyyy-mm-dd or yyyy/m/d writes it"),
        ("D:date(yyyy-mm-dd hh:nn:ss)", "2024-01-05 24:00:00", "a: D = 1;",
         "a,error,D=2024-01-05 24:00:00 is not a date as yyyy-mm-dd hh:nn:ss writes it"),
    ]

    def test_numbers_and_dates_as_people_write_them(self):
        for header, value, rule, verdict in self.WRITTEN_VALUES:
            with self.subTest(header=header, value=value):
                for encoding in ("utf-8", "gbk"):
                    data = self.files.write("d.csv", f"{header}\n{value}\n".encode(encoding))
                    code, out, err = self.batch(rule, data, "--all", "--format", "csv")
                    self.assertEqual(out.splitlines()[1:], ["1," + verdict], err)

    def test_show_values_shows_dates_and_pictured_numbers_as_written(self):
        data = '"D:date(yyyy/m/d)","A:num(#,##0.00)"\n2024/1/5,"12,345.00"\n'
        code, out, _ = self.batch("a: D > 45296 OR A > 20000;", data, "--show-values")
        self.assertIn("[D=2024/1/5, A=12,345.00]", out)

    def test_a_rule_over_several_lines_and_a_missing_semicolon(self):
        rules = 'adult "年满十八":\n  AGE >= 18   # grown up\n  AND SCORE >= 60;\n'
        code, out, _ = self.batch(rules, "AGE,SCORE\n20,50\n", "--format", "jsonl")
        self.assertEqual(code, 0)
        self.assertIn('"explanation":"SCORE:: SCORE >= 60;"', out)
        self.assertIn('"description":"年满十八"', out)
        code, _, err = self.batch("a: AGE >= 18\nb: SCORE >= 60;\n", "AGE,SCORE\n20,50\n")
        self.assertEqual(code, 64)
        self.assertIn("rules.txt:2:2: ':' inside the sentence of rule 'a'", err)

    def test_a_header_below_a_title_with_a_units_row_after_it(self):
        data = "Claims 2026\nexported\nID,AGE\n-,years\n1,20\n2,15,9\n3,15\n"
        failed = os.path.join(self.files.directory.name, "failed.csv")
        for rules, extra in (("a: AGE >= 18;", ["--header-row", "3", "--skip-rows", "1"]),
                             ("@header-row 9\n@skip-rows 0\na: AGE >= 18;", ["--header-row", "3", "--skip-rows", "1"]),
                             ("@header-row 3\n@skip-rows 1\na: AGE >= 18;", [])):
            code, out, err = self.batch(rules, data, "--format", "csv", "--key", "ID", "--failed-rows", failed, *extra)
            self.assertEqual((code, out.splitlines()[1:]), (0, ["1,1,a,true,", "3,3,a,false,AGE::AGE >= 18;"]))
            self.assertIn("data.csv:6: row 2 skipped: it has 3 fields where the header has 2", err)
            with open(failed, encoding="utf-8") as file:
                self.assertEqual(file.readline(), "ID,AGE,failed_key,failed_rules,failed_explanations\n")
        self.assertIn("data.csv' has no line 9 for its header", self.batch("@header-row 9\na: AGE >= 18;", data)[2])
        self.assertIn("--skip-rows: '-1' is not a count of rows", self.batch("a: AGE > 1;", data, "--skip-rows=-1")[2])

    def test_mixed_types_are_warned_about_once_per_rule_before_the_run(self):
        code, _, err = self.batch("num: CODE = 1;", "CODE\nx\ny\n")
        self.assertEqual(code, 0)
        self.assertEqual(err.count("warning:"), 1)
        self.assertIn("rules.txt:1: rule num: warning: 字符串与数值比较,结果不可靠!\n  CODE = 1;\n       ^\n", err)
        # the report says it too: the text report's problems, or the notes beside a CSV report
        code, out, _ = self.batch("num: CODE = 1;", "CODE\nx\ny\n")
        self.assertIn("\nproblems:\n  /", out)
        self.assertTrue(out.endswith("rules.txt:1: rule num: warning: 字符串与数值比较,结果不可靠!\n"
                                     "    CODE = 1;\n         ^\n"), out)
        notes = os.path.join(self.files.directory.name, "notes.csv")
        code, out, _ = self.batch("num: CODE = 1;", "CODE\nx\ny\n", "--format", "csv", "--notes", notes)
        self.assertEqual(out.count("\r\n"), 3)
        with open(notes, encoding="utf-8", newline="") as file:
            records = list(csv.reader(file))
        self.assertEqual([r[:4] for r in records], [["kind", "rule", "rows", "first_row"], ["warning", "num", "", ""]])
        self.assertTrue(records[1][4].endswith("rules.txt:1: rule num: warning: 字符串与数值比较,结果不可靠!\n"
                                               "  CODE = 1;\n       ^"), records)

    def test_headers_that_cannot_be_names_are_reported(self):
        _, _, err = self.batch("a: AGE > 1;", "AGE,年龄,MONTHLY INCOME\n2,3,4\n")
        self.assertIn("no rule can name the column '年龄': a name starts with an ASCII letter", err)
        self.assertIn("no rule can name the column 'MONTHLY INCOME': a name cannot hold a blank", err)
        code, _, err = self.batch("@column 年龄 NIANLING\na: NIANLING > 1 AND INCOME > 1;",
                                  "AGE,年龄,MONTHLY INCOME=INCOME\n2,3,4\n")
        self.assertEqual((code, err), (0, ""))


class BatchCalculatorsPerRule(unittest.TestCase):
    """Analysing each rule once and rerunning it gives what a fresh calculator per row and rule gives."""

    def compare(self, rules, data, *extra):
        for report_format in ("text", "csv", "jsonl", "html"):
            with self.subTest(format=report_format):
                common = ["batch", "--rules", rules, "--data", data, "--format", report_format, "--all",
                          "--show-values", *extra]
                kept = run(*common)
                self.assertEqual(kept, run(*common, "--fresh-calculators"))

    def test_the_shipped_example(self):
        self.compare(os.path.join(EXAMPLES, "applicants.rules"), os.path.join(EXAMPLES, "applicants.csv"), "--key", "ID")

    def test_generated_rows_with_mixed_outcomes(self):
        files = TemporaryFiles(self)
        rules = files.write("rules.txt", SMALL_RULES + 'branch: IF AGE > 20 THEN SCORE > 50 ELSE NOTE = "x";\n'
                            'deep: (AGE + SCORE) * 2 > 100 OR NOTE || "y" = "xy" AND LENGTH(NAME) > 2;\n'
                            'same: IF AGE > 20 THEN SCORE > 50 ELSE NOTE = "x";\n')  # shares branch's calculator
        rows = ["NAME,AGE,SCORE:num,NOTE:text"]
        for i in range(2000):
            rows.append(f"名{i % 7},{'' if i % 11 == 0 else i % 40},{'bad' if i % 97 == 0 else i % 100},{'x' if i % 3 else ''}")
        data = files.write("generated.csv", "\n".join(rows) + "\n")
        self.compare(rules, data, "--jobs", "2")


def chromium():
    """The headless browser, or None when it is absent (CI installs it: there its absence fails)."""
    found = shutil.which("chromium")
    if found is None and os.environ.get("RULECALC_REQUIRE_CHROMIUM"):
        raise AssertionError("chromium is missing")
    return found


@unittest.skipUnless(chromium(), "chromium is not installed (apt-get install chromium)")
class HtmlReport(unittest.TestCase):
    """The HTML report of the shipped example, rendered by headless chromium."""

    def render(self, page, *what):
        files = TemporaryFiles(self)
        profile = os.path.join(files.directory.name, "profile")
        os.mkdir(profile)
        completed = subprocess.run(
            [chromium(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile, *what, "file://" + page],
            capture_output=True, timeout=120, cwd=files.directory.name)
        return completed.stdout.decode("utf-8")

    def test_the_rendered_page_shows_the_counts_per_rule(self):
        files = TemporaryFiles(self)
        page = os.path.join(files.directory.name, "report.html")
        code, _, err = run("batch", "--rules", os.path.join(EXAMPLES, "applicants.rules"),
                           "--data", os.path.join(EXAMPLES, "applicants.csv"), "--format", "html", "--key", "ID",
                           "--show-values", "--output", page)
        self.assertEqual(code, 0, err)
        dom = self.render(page, "--dump-dom")
        self.assertIn('<tr id="rule-email"><td>email</td>', dom)
        self.assertRegex(dom, r'<td class="n held-count">288</td><td class="n failed-count">12</td>'
                              r'<td class="n error-count">0</td><td>电子邮箱</td>')
        self.assertIn('<p id="rows-evaluated">300 rows evaluated, 0 skipped as malformed</p>', dom)
        self.assertIn("84 verdicts shown", dom)
        self.assertNotIn("<script", dom)


class BatchJobs(unittest.TestCase):
    """Several workers give the very same report as one."""

    def compare_jobs(self, rules, data, *extra):
        for report_format in ("text", "csv", "jsonl"):
            with self.subTest(format=report_format):
                one = run("batch", "--rules", rules, "--data", data, "--format", report_format, "--jobs", "1", *extra)
                two = run("batch", "--rules", rules, "--data", data, "--format", report_format, "--jobs", "2", *extra)
                self.assertEqual(one, two)
                self.assertEqual(one[0], 0)

    def test_the_shipped_example(self):
        self.compare_jobs(os.path.join(EXAMPLES, "applicants.rules"), os.path.join(EXAMPLES, "applicants.csv"))

    def test_many_chunks_with_bad_rows_among_them(self):
        files = TemporaryFiles(self)
        rows = ["NAME,AGE,SCORE,NOTE"]
        for i in range(5000):
            rows.append("bad,row" if i % 977 == 0 else f'"名{i % 13},x",{i % 40},{i % 100},"n\n{i}"')
        data = files.write("many.csv", "\r\n".join(rows) + "\r\n")
        rules = files.write("rules.txt", SMALL_RULES)
        self.compare_jobs(rules, data)


class ShippedExample(unittest.TestCase):
    def test_every_rule_analyses_and_every_row_is_read(self):
        code, out, err = run("batch", "--rules", os.path.join(EXAMPLES, "applicants.rules"),
                             "--data", os.path.join(EXAMPLES, "applicants.csv"), "--format", "jsonl")
        self.assertEqual(code, 0, err)
        self.assertEqual(err, "")
        summaries = [json.loads(line)["summary"] for line in out.splitlines() if line.startswith('{"summary"')]
        self.assertEqual(summaries[-1], {"rows_evaluated": 300, "rows_skipped": 0})
        self.assertEqual(len(summaries), 10)
        for summary in summaries[:-1]:
            self.assertNotIn("analysis_error", summary)
            self.assertEqual(summary["held"] + summary["failed"], 300)
            self.assertEqual(summary["errors"], 0)

    def test_claims_as_excel_exported_them_reach_the_verdicts_worked_out_from_their_values(self):
        # GBK, CRLF, a Chinese header over an English one, "12,345.00", dates three ways, IDs
        # ending in X: only the rules file's @ lines say how to read it.
        code, out, err = run("batch", "--rules", os.path.join(EXAMPLES, "claims.rules"),
                             "--data", os.path.join(EXAMPLES, "claims.csv"), "--key", "理赔编号",
                             "--format", "csv", "--all")
        self.assertEqual(code, 2, err)  # two claims were reported at a time written as 待定
        verdicts = [row[1:4] for row in csv.reader(io.StringIO(out))]
        with open(os.path.join(EXAMPLES, "claims.expected.csv"), encoding="utf-8", newline="") as file:
            expected = list(csv.reader(file))
        self.assertEqual(verdicts[0], ["理赔编号", "rule", "result"])
        self.assertEqual(verdicts[1:], expected[1:])


class FailedRows(unittest.TestCase):
    """--failed-rows gives back the records that need attention as they were read."""

    RULES = "adult: AGE >= 18;\nnamed \"姓名\": LENGTH(NAME) >= 4;\n"
    HEADER = "ID,NAME,AGE,NOTE:text\r\n"
    RECORDS = ["A1,张三,20,\"第一行\r\n第二行\"\r\n", "A2,李,15,\"引号\"\"在此,逗号\"\r\n",
               "A3,王五,30,plain\r\n", "\"A,4\",赵,16,\"末行\""]

    def test_gbk_crlf_rows_come_back_byte_for_byte_with_the_appended_columns(self):
        files = TemporaryFiles(self)
        rules = files.write("r.rules", self.RULES)
        data = files.write("d.csv", self.HEADER + "".join(self.RECORDS), encoding="gbk")
        failed = os.path.join(files.directory.name, "failed.csv")
        code, _, err = run("batch", "--rules", rules, "--data", data, "--key", "ID", "--failed-rows", failed)
        self.assertEqual(code, 0, err)
        with open(failed, "rb") as file:
            written = file.read()
        gbk = lambda text: text.encode("gbk")
        expected = (gbk(self.HEADER[:-2] + ",failed_key,failed_rules,failed_explanations\r\n")
                    + gbk(self.RECORDS[1][:-2] + ',A2,"adult\r\nnamed","AGE::AGE >= 18;\r\nNAME::LENGTH(NAME) >= 4;"\r\n')
                    + gbk(self.RECORDS[3] + ',"A,4","adult\r\nnamed","AGE::AGE >= 18;\r\nNAME::LENGTH(NAME) >= 4;"\r\n'))
        self.assertEqual(written, expected)

    def test_never_an_input_nor_the_report(self):
        files = TemporaryFiles(self)
        rules = files.write("r.rules", self.RULES)
        data = files.write("d.csv", self.HEADER + "".join(self.RECORDS))
        report = os.path.join(files.directory.name, "report.txt")
        failed = os.path.join(files.directory.name, "failed.csv")
        for option in ("--failed-rows", "--notes"):
            for target, message in [(data, "is the data file"), (rules, "is the rules file"), (report, "is the report's --output")]:
                with self.subTest(option=option, target=target):
                    code, _, err = run("batch", "--rules", rules, "--data", data, "--output", report, option, target)
                    self.assertEqual(code, 64)
                    self.assertIn(message, err)
        code, _, err = run("batch", "--rules", rules, "--data", data, "--output", report, "--failed-rows", failed,
                           "--notes", failed)
        self.assertEqual(code, 64)
        self.assertIn("--notes '%s' is the --failed-rows file" % failed, err)
        self.assertFalse(os.path.exists(report))


class RuleTests(unittest.TestCase):
    """rulecalc test on the shipped examples and on broken copies of them."""

    RULES = os.path.join(EXAMPLES, "applicants.rules")
    TESTS = os.path.join(EXAMPLES, "applicants.tests.csv")

    def shipped_tests(self):
        with open(self.TESTS, encoding="utf-8") as file:
            return file.read()

    CASES = [
        # (what, edit of the shipped tests, status, stdout part, stderr part)
        ("the shipped tests hold", lambda t: t, 0, "applicants.tests.csv: 54 of 54 expectations held\n", ""),
        ("a changed verdict", lambda t: t.replace(",false,\"ADDMONTHS", ",true,\"ADDMONTHS"), 1,
         "applicants.tests.csv:5: row 4, key T4, rule adult: expected true with 'ADDMONTHS(TODATE(BIRTH), 216)' "
         "in the explanation, got false\n  explanation: BIRTH,APPLIED::ADDMONTHS(TODATE(BIRTH), 216) <= TODATE(APPLIED);\n"
         "applicants.tests.csv: 53 of 54 expectations held\n", ""),
        ("a text the explanation lacks", lambda t: t.replace("NVL(INCOME", "INCOME > 9"), 1,
         "rule income: expected false with 'INCOME > 9' in the explanation, got false\n", ""),
        ("a column of no rule", lambda t: t.replace("expect:young", "expect:old"), 64, "",
         "the column 'expect:old' names no rule: there is no rule 'old' in the rules file"),
        ("a verdict that is none", lambda t: t.replace(",true,true\nT2", ",true,maybe\nT2"), 64, "",
         "applicants.tests.csv:2: row 1, column 23: 'maybe' is not true, false or error"),
        ("a rule that names a column the tests lack", lambda t: t.replace("ADDRESS,", "PLACE,", 1), 2, "",
         "rule address: no column ADDRESS"),
    ]

    def test_the_shipped_tests_and_changes_to_them(self):
        for what, edit, status, out_part, err_part in self.CASES:
            with self.subTest(what):
                files = TemporaryFiles(self)
                shutil.copy(self.RULES, files.directory.name)
                rules = os.path.join(files.directory.name, "applicants.rules")
                files.write("applicants.tests.csv", edit(self.shipped_tests()))
                code, out, err = run("test", "--rules", rules, "--key", "ID")
                self.assertEqual(code, status, err)
                self.assertIn(out_part, out.replace(files.directory.name + "/", ""))
                self.assertIn(err_part, err)

    def test_junit_xml_counts_the_cases_and_failures(self):
        files = TemporaryFiles(self)
        broken = files.write("broken.csv", "NAME,expect:name_length,explain:name_length\n王,false,\n王五,false,NAME\n")
        cannot_run = files.write("cannot.csv", "NAME,expect:adult\n王,true\n")
        junit = os.path.join(files.directory.name, "junit.xml")
        code, _, err = run("test", "--rules", self.RULES, self.TESTS, broken, cannot_run, "--junit", junit)
        self.assertEqual(code, 2, err)
        root = ElementTree.parse(junit).getroot()
        self.assertEqual(root.tag, "testsuites")
        self.assertEqual((root.get("tests"), root.get("failures"), root.get("errors")), ("57", "1", "1"))
        suites = root.findall("testsuite")
        self.assertEqual([(s.get("name"), s.get("tests"), s.get("failures"), s.get("errors")) for s in suites],
                         [(self.TESTS, "54", "0", "0"), (broken, "2", "1", "0"), (cannot_run, "1", "0", "1")])
        self.assertIn("1 rule names a variable", suites[2].find("testcase").find("error").get("message"))
        for suite in suites:
            self.assertEqual(len(suite.findall("testcase")), int(suite.get("tests")))
        failure = suites[1].findall("testcase")[1].find("failure")
        self.assertEqual(failure.get("message"), "expected false with 'NAME' in the explanation, got true")

    def test_junit_never_replaces_an_input(self):
        code, _, err = run("test", "--rules", self.RULES, "--junit", self.TESTS)
        self.assertEqual(code, 64)
        self.assertIn("is the tests file", err)


if __name__ == "__main__":
    unittest.main()
