"""rulecalc.frame: rules over pandas DataFrames, checked against the command-line tool."""

import csv
import datetime
import io
import math
import os
import subprocess
import tempfile
import unittest
import warnings

try:
    import pandas
except ImportError:
    pandas = None

import rulecalc
from on_threads import failures_on_threads
from rulecalc import frame

EXAMPLES = os.environ.get("RULECALC_EXAMPLES", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples"))


@unittest.skipIf(pandas is None, "pandas is not installed")
class Frame(unittest.TestCase):
    def generated_files(self, rows: int = 400):
        """Rows with nulls, dates and Chinese texts, and rules over them: (rules path, data path)."""
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        rules_path, data_path = os.path.join(folder.name, "g.rules"), os.path.join(folder.name, "g.csv")
        with open(rules_path, "w", encoding="utf-8") as file:
            file.write('grown: IF AGE >= 18 THEN SCORE >= 60 ELSE SCORE >= 80;\n'
                       'named "名字": NAME = "张三" OR LENGTH(NAME) > 4;\n'
                       'born: BIRTH > 36526 AND NVL(SCORE, 0) < 95;\n'
                       'city: IF CITY = "北京" THEN AGE * 2 > SCORE ELSE LENGTH(CITY || ID) >= 6;\n')
        random = __import__("random").Random(28)
        names, cities = ["张三", "李小龙", "王", "", "欧阳娜娜"], ["北京", "上海", "", "成都"]
        with open(data_path, "w", encoding="utf-8") as file:
            file.write("ID:text,NAME:text,CITY:text,AGE:num,SCORE:num,BIRTH:date(yyyy-mm-dd)\n")
            for row in range(rows):
                age = random.choice(["", str(random.randint(0, 90))])
                score = random.choice(["", f"{random.uniform(0, 100):.2f}", str(random.randint(0, 100))])
                birth = random.choice(["", (datetime.date(1950, 1, 1) + datetime.timedelta(days=random.randint(0, 27000))).isoformat()])
                file.write(f"G{row:04},{random.choice(names)},{random.choice(cities)},{age},{score},{birth}\n")
        return rules_path, data_path

    @unittest.skipUnless(os.environ.get("RULECALC_CLI"), "RULECALC_CLI does not name the command-line tool")
    def test_frames_give_the_verdicts_of_the_tools_batch_report(self):
        for rules_path, data_path, first_keys in [
                (os.path.join(EXAMPLES, "applicants.rules"), os.path.join(EXAMPLES, "applicants.csv"), ["A0001", "A0002"]),
                self.generated_files() + (["G0000", "G0001"],)]:
            with self.subTest(data=os.path.basename(data_path)):
                result = frame.evaluate(frame.read_data(data_path), rules_path, key="ID")
                report = subprocess.run([os.environ["RULECALC_CLI"], "batch", "--rules", rules_path, "--data", data_path,
                                         "--format", "csv"], capture_output=True, check=True).stdout.decode()
                expected = [(int(r["row"]), r["rule"], r["result"], r["explanation"])
                            for r in csv.DictReader(io.StringIO(report))]
                words = {True: "true", False: "false"}
                found = [(row, rule, words.get(result[rule].iloc[row - 1], "error"),
                          result[rule + "_explanation"].iloc[row - 1]) for row, rule, _, _ in expected]
                self.assertEqual(found, expected)
                self.assertEqual(len(expected), len(result) * (len(result.columns) - 1) // 2)
                self.assertEqual(list(result["ID"][:2]), first_keys)

    def test_threads_with_rules_of_their_own_give_the_answers_of_one_thread(self):
        rules_path, data_path = self.generated_files(2000)
        df, rules = frame.read_data(data_path), frame.read_rules(rules_path)
        alone = frame.evaluate(df, rules, key="ID")

        def worker(n, failures):
            for _ in range(3):
                answer = frame.evaluate(df, rules, key="ID")
                if not answer.equals(alone):
                    failures.append(n)

        self.assertEqual(failures_on_threads(worker, 8), [])

    def test_data_and_rules_files_are_read_as_the_tool_reads_them(self):
        cases = [
            # (data file, rules file, columns and their values, or the tool's message after "rulecalc: ")
            ("D:date(dd.mm.yyyy),E:date(yyyy-mm-dd),N:num,T:text\n05.01.2024,2024-1-5,1,007\n,,,\n".encode(), None,
             {"D": [datetime.datetime(2024, 1, 5), None], "E": [datetime.datetime(2024, 1, 5), None],
              "N": [1.0, None], "T": ["007", ""]}),
            ("名字:text,NOTE:a:text\n张三,x\n".encode("gbk"), None, {"名字": ["张三"], "NOTE:a": ["x"]}),
            ("Claims, \"2026\n\n理赔金额=CLAIM:num,ID:text\nyuan,\n500,007\n".encode(), None,
             {"CLAIM": [500.0], "ID": ["007"]}),
            (b"ID,AGE:bool\n1,2\n", None, "{data}:1: column 2 of the header: 'AGE:bool': the type must be ':num' "
                                           "or ':text'"),
            (b"ID,AGE\n1,2\n", b"adult: AGE >= 18\n", "{rules}:2:1: the rule 'adult' ({rules}:1:1) has no ';' at its end"),
        ]
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        rules_path = os.path.join(folder.name, "r.rules")
        for data, rules, expected in cases:
            with self.subTest(data=data, rules=rules):
                data_path = os.path.join(folder.name, "d.csv")
                with open(data_path, "wb") as file:
                    file.write(data)
                with open(rules_path, "wb") as file:
                    file.write(rules or b"adult: 1 = 1;\n")
                if isinstance(expected, dict):
                    df = frame.read_data(data_path, **({"header_row": 3, "skip_rows": 1} if b"=" in data else {}))
                    found = {name: [None if pandas.isna(v) else v for v in df[name]] for name in df.columns}
                    self.assertEqual(found, expected)
                    continue
                with self.assertRaises(ValueError) as caught:
                    frame.evaluate(frame.read_data(data_path), rules_path)
                message = expected.format(data=data_path, rules=rules_path)
                self.assertTrue(str(caught.exception).startswith(message), caught.exception)
                if os.environ.get("RULECALC_CLI"):
                    tool = subprocess.run([os.environ["RULECALC_CLI"], "batch", "--rules", rules_path, "--data",
                                           data_path], capture_output=True)
                    self.assertEqual(tool.stderr.decode(), "rulecalc: %s\n" % caught.exception)

    def test_the_rules_files_language_reaches_its_rules(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        rules_path = os.path.join(folder.name, "r.rules")
        with open(rules_path, "wb") as file:
            file.write(b"@language extended\nr: NOT > 1;\n")
        self.assertEqual(frame.read_rules_and_settings(rules_path)[1].language, "extended")
        with self.assertRaises(rulecalc.AnalysisError):
            frame.evaluate(pandas.DataFrame({"NOT": [2]}), rules_path)

    def test_column_types_and_nulls(self):
        df = pandas.DataFrame({
            "key": ["a", "b", "c"],
            "n": [1.5, math.nan, 3.0],
            "i": pandas.array([1, None, 3], dtype="Int64"),
            "s": ["中文", None, ""],
            "d": pandas.to_datetime(["2024-02-29", None, "1899-12-30 12:00"]),
            "b": [True, False, True],
        }, index=[10, 20, 30])
        rules = {
            "n_null": "NVL(N, -1) = -1;",
            "i_null": "NVL(I, -1) = -1;",
            "s_empty": "LENGTH(S) = 0;",
            "day": "D = 45351 OR D = 0.5;",
            "flag": "B = 1;",
        }
        result = frame.evaluate(df, rules, key="key")
        self.assertEqual(list(result.columns[:3]), ["key", "n_null", "n_null_explanation"])
        self.assertEqual(list(result.index), [10, 20, 30])
        expected = {"n_null": [False, True, False], "i_null": [False, True, False], "s_empty": [False, True, True],
                    "day": [True, False, True], "flag": [True, False, True]}
        self.assertEqual({rule: list(result[rule]) for rule in rules}, expected)
        self.assertEqual(result["flag_explanation"][20], "B::B = 1;")

    def test_object_and_categorical_columns_are_typed_by_their_values(self):
        far = [datetime.datetime(2192, 4, 11), datetime.datetime(2262, 4, 11, 12), None]
        cases = [
            # (values of A, sentence, verdicts, warns); N holds A's day numbers
            (pandas.Series([1, 2.5, None], dtype=object), "A > 1;", [False, True, False], False),
            ([1, "2", 3], "A > 1;", [False, True, True], False),
            (pandas.Categorical([1, 2.5, 2.5]), "A > 1;", [False, True, True], False),
            (pandas.Categorical(["x", "y", "x"]), "A = \"x\";", [True, False, True], False),
            ([1, "x", 3], "A = \"1\";", [True, False, False], True),
            (pandas.to_datetime(far), "A = N;", [True, True, False], False),
            (far[:2] + [datetime.datetime(3000, 1, 1)], "A = N;", [True, True, True], False),
        ]
        for values, sentence, verdicts, warns in cases:
            with self.subTest(values=values):
                days = [(v - datetime.datetime(1899, 12, 30)) / datetime.timedelta(days=1) if pandas.notna(v) else -1.0
                        for v in (values if sentence == "A = N;" else [None] * 3)]
                df = pandas.DataFrame({"A": values, "N": days})
                with warnings.catch_warnings(record=True) as caught:
                    warnings.simplefilter("always")
                    result = frame.evaluate(df, {"r": sentence})
                self.assertEqual(list(result["r"]), verdicts)
                self.assertEqual(len(caught), warns)

    def test_what_cannot_be_evaluated_is_named(self):
        one = pandas.DataFrame({"X": [1]})
        cases = [
            # (df, rules, key, error, words of the message)
            (pandas.DataFrame({"X": [1.0, math.inf]}, index=["r1", "r2"]), {"r": "X > 0;"}, None, ValueError,
             "column X, row 'r2'"),
            (pandas.DataFrame({"X": ["ok", "😀"]}), {"r": "X = \"ok\";"}, None, ValueError, "column X, row 1"),
            (pandas.DataFrame({"X": ["ok", "a\x00b"]}), {"r": "X = \"ok\";"}, None, ValueError,
             "column X, row 1: .* NUL"),
            (one, {"r": "Y > 0;"}, None, KeyError, "rule r uses Y"),
            (one, ["X > 0;"], None, TypeError, "mapping"),
            (one, {"X": "X > 0;"}, "X", ValueError, "rule 'X' and the key column 'X'"),
            (one, {"x": "X > 0;", "x_explanation": "X > 1;"}, None, ValueError,
             "rule 'x_explanation' and the explanation of rule 'x'"),
            (one, {"x": "X > 0;"}, "x_explanation", ValueError, "the explanation of rule 'x' and the key column"),
            (pandas.DataFrame({"a": [1], "A": [2]}), {"r": "A > 0;"}, None, ValueError, "'a' and 'A' are one variable"),
            (pandas.DataFrame([[1, 2]], columns=["X", "X"]), {"r": "X > 0;"}, None, ValueError, "'X' twice"),
        ]
        for df, rules, key, error, words in cases:
            with self.subTest(rules=rules, key=key, columns=list(df.columns)):
                with self.assertRaisesRegex(error, words):
                    frame.evaluate(df, rules, key)


if __name__ == "__main__":
    unittest.main()
