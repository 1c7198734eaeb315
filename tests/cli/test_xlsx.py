"""Workbooks in and out: a sheet made by openpyxl gives the verdicts of the
same data as CSV, and the xlsx report reads back with openpyxl."""

import csv
import datetime
import io
import os
import subprocess
import tempfile
import unittest

import openpyxl

CLI = os.environ.get("RULECALC_CLI", "rulecalc")
ENV = dict(os.environ, LC_ALL="C.UTF-8")

RULES = """\
amt "claim within the limit": AMOUNT <= LIMIT;
yr: YEAR(ACC_DATE) = 2024;
dd: DAY(ACC_DATE) = 15;
idlen: LENGTH(CLAIM_ID) = 18;
named: NAME <> "";
"""

# The IDs are text cells: the sheet's typing keeps them texts without ":text".
HEADER = ["理赔编号=CLAIM_ID", "姓名=NAME", "金额=AMOUNT", "限额=LIMIT", "出险日期=ACC_DATE"]
ROWS = [
    ["110101199003071234", "张三", 12345.5, 20000, datetime.date(2024, 3, 15)],
    ["110101199003071235", "李四", 30000, 20000, datetime.date(2023, 12, 31)],
    ["000123", "", 7, 7.5, datetime.date(1900, 1, 15)],
    ["440301198801010018", "王五", 0.1, 0, datetime.date(1900, 3, 15)],
]


def run(*args):
    completed = subprocess.run([CLI, *args], capture_output=True, env=ENV, timeout=120)
    return completed.returncode, completed.stdout.decode(), completed.stderr.decode()


class Workbooks(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.rules = self.path("r.rules")
        with open(self.rules, "w", encoding="utf-8") as file:
            file.write(RULES)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def workbook(self, name="d.xlsx", sheets=("理赔",)):
        book = openpyxl.Workbook()
        book.remove(book.active)
        for i, title in enumerate(sheets):  # the rows of later sheets in reverse
            sheet = book.create_sheet(title)
            sheet.append(HEADER)
            for row in ROWS[::-1] if i else ROWS:
                sheet.append(row)
        book.save(self.path(name))
        return self.path(name)

    def csv_twin(self):
        header = ["理赔编号=CLAIM_ID:text"] + HEADER[1:4] + ["出险日期=ACC_DATE:date(yyyy-mm-dd)"]
        with open(self.path("d.csv"), "w", encoding="utf-8", newline="") as file:
            writer = csv.writer(file)
            writer.writerow(header)
            for row in ROWS:
                writer.writerow(row[:4] + [row[4].isoformat()])
        return self.path("d.csv")

    def verdicts(self, data, *more):
        status, out, err = run("batch", "--rules", self.rules, "--data", data, "--format", "csv", "--key", "CLAIM_ID",
                               *more)
        self.assertEqual(status, 0, err)
        return list(csv.reader(io.StringIO(out)))

    def test_a_sheet_gives_the_verdicts_of_the_same_data_as_csv(self):
        from_sheet = self.verdicts(self.workbook())
        self.assertEqual(from_sheet, self.verdicts(self.csv_twin()))
        self.assertIn(["3", "000123", "dd", "true", ""], from_sheet)  # 15 January 1900, before Excel's 29 February
        self.assertIn(["2", "110101199003071235", "idlen", "true", ""], from_sheet)

    def test_a_sheet_is_chosen_by_name(self):
        data = self.workbook(sheets=("first", "second"))
        with open(self.rules, "w", encoding="utf-8") as file:
            file.write("@sheet third\n" + RULES)
        status, _, err = run("batch", "--rules", self.rules, "--data", data)
        self.assertEqual(status, 64)
        self.assertIn("has no sheet 'third' (it has 'first', 'second')", err)
        second = self.verdicts(data, "--sheet", "second")  # the option wins over the line
        self.assertEqual(second[1][1], ROWS[-1][0])

    def test_the_xlsx_report_reads_back(self):
        output = self.path("report.xlsx")
        status, out, err = run("batch", "--rules", self.rules, "--data", self.workbook(), "--key", "CLAIM_ID",
                               "--format", "xlsx", "--output", output)
        self.assertEqual((status, out), (0, ""), err)
        book = openpyxl.load_workbook(output)
        self.assertEqual(book.sheetnames, ["summary", "verdicts", "failed rows"])
        summary, verdicts, failed = book["summary"], book["verdicts"], book["failed rows"]
        self.assertEqual([cell.value for cell in summary[2]][:5], ["amt", "claim within the limit", 2, 2, 0])
        self.assertEqual(len(summary._charts), 1)
        self.assertEqual([cell.value for cell in verdicts[1]],
                         ["row", "key", "rule", "description", "result", "explanation", "values"])
        self.assertEqual((verdicts.freeze_panes, verdicts.auto_filter.ref), ("A2", "A1:G21"))
        long_key = verdicts["B2"]
        self.assertEqual((long_key.value, long_key.data_type), ("110101199003071234", "s"))
        self.assertEqual([cell.value for cell in verdicts[7]],
                         [2, "110101199003071235", "amt", "claim within the limit", "false", "AMOUNT,LIMIT::AMOUNT <= LIMIT;",
                          "AMOUNT=30000, LIMIT=20000"])
        self.assertEqual([cell.value for cell in failed[1]][:5],
                         ["理赔编号=CLAIM_ID:text", "姓名=NAME:text", "金额=AMOUNT", "限额=LIMIT", "出险日期=ACC_DATE"])
        self.assertEqual([row[0].value for row in failed.iter_rows(min_row=2)],
                         ["110101199003071235", "000123", "440301198801010018"])

    def test_the_summary_sheet_shows_the_problems(self):
        with open(self.rules, "w", encoding="utf-8") as file:
            file.write("a: CLAIM_ID = 1;\n")
        output = self.path("report.xlsx")
        status, _, err = run("batch", "--rules", self.rules, "--data", self.workbook(), "--format", "xlsx",
                             "--output", output)
        self.assertEqual(status, 0, err)
        rows = list(openpyxl.load_workbook(output)["summary"].iter_rows(values_only=True))
        problem = rows[rows.index(("problems", None, None, None, None)) + 1]
        self.assertEqual(problem[:2], ("warning", "a"))
        self.assertIn("warning: 字符串与数值比较", problem[2])

    def test_what_cannot_be_read_is_named(self):
        data = self.workbook()
        with open(data, "rb") as file:
            start = file.read(300)
        cases = [
            # (bytes of d.xlsx, what standard error says)
            (start, "d.xlsx' is no workbook: its zip archive cannot be read"),
            (b"CLAIM_ID\n1\n", "d.xlsx' is no workbook"),
        ]
        for content, message in cases:
            with self.subTest(message=message):
                with open(self.path("d.xlsx"), "wb") as file:
                    file.write(content)
                status, _, err = run("batch", "--rules", self.rules, "--data", self.path("d.xlsx"))
                self.assertEqual(status, 64)
                self.assertIn(message, err)


if __name__ == "__main__":
    unittest.main()
