"""The Python binding: results, errors, listings, types and GBK, over the built library."""

import datetime
import decimal
import enum
import importlib.machinery
import os
import subprocess
import sys
import tempfile
import unittest

import rulecalc
from on_threads import failures_on_threads


class Evaluate(unittest.TestCase):
    def test_held_and_failed_with_explanation(self):
        self.assertEqual(rulecalc.evaluate("A>1;", A=5), (True, ""))
        held, why = rulecalc.evaluate("IF AGE>=18 THEN SCORE>=60;", AGE=20, SCORE=50)
        self.assertFalse(held)
        self.assertEqual(why, "SCORE::IF AGE>=18 成立则 SCORE>=60")

    def test_result_is_true_exactly_when_the_sentence_holds(self):
        self.assertTrue(rulecalc.evaluate("A>1;", A=5))
        self.assertFalse(rulecalc.evaluate("A>1;", A=0))
        self.assertIsInstance(rulecalc.evaluate("A>1;", A=0).explanation, str)

    def test_explanations_do_not_carry_over_between_calls(self):
        for _ in range(3):
            self.assertEqual(rulecalc.evaluate("A>1;", A=0).explanation, "A::A>1;")

    def test_analysis_error_carries_the_message(self):
        with self.assertRaises(rulecalc.AnalysisError) as caught:
            rulecalc.evaluate("A>1", A=5)
        self.assertEqual(caught.exception.message, "表达式语句结尾处缺少分号!")
        self.assertEqual(str(caught.exception), "表达式语句结尾处缺少分号!")
        self.assertEqual(caught.exception.sentence, "A>1")
        with self.assertRaises(rulecalc.AnalysisError) as caught:
            rulecalc.evaluate("NOBODY > 1;")
        self.assertIn("NOBODY", caught.exception.message)

    def test_check_analyses_without_running(self):
        self.assertIsNone(rulecalc.check("A>1;", A=0))
        with self.assertRaises(rulecalc.AnalysisError):
            rulecalc.check("IF A>1 THEN;", A=0)


class Types(unittest.TestCase):
    CASES = [
        # (sentence, value, holds)
        ("X = 3;", 3, True),
        ("X = 2.5;", 2.5, True),
        ("X = 0.3;", 0.1 + 0.2, True),
        ("X = 1;", True, True),
        ("X = 0;", False, True),
        ("X = 12.25;", decimal.Decimal("12.25"), True),
        ("X = NULL;", None, True),
        ("NVL(X, 7) = 7;", None, True),
        ("X + 1 = 1;", None, True),
        ("LENGTH(X) = 3;", "123", True),
        ("X = \"\";", "", True),
        ("X < 0.000001;", 1e-7, True),
        ("X > 1000000000000;", 1e15, True),
        ("X = 5;", enum.Enum("Colour", {"RED": 5}, type=int).RED, True),
    ]

    def test_python_values_become_numbers_texts_and_nulls(self):
        for sentence, value, holds in self.CASES:
            with self.subTest(sentence=sentence, value=value):
                self.assertEqual(bool(rulecalc.evaluate(sentence, X=value)), holds)

    def test_a_digit_string_is_text(self):
        with self.assertRaises(rulecalc.AnalysisError):
            rulecalc.evaluate("X + 1 = 124;", X="123")

    def test_dates_are_day_numbers(self):
        # Depends only on the day count, not on the date built-ins.
        self.assertTrue(rulecalc.evaluate("D = 45351;", D=datetime.date(2024, 2, 29)))
        self.assertTrue(rulecalc.evaluate("D = 45351.5;", D=datetime.datetime(2024, 2, 29, 12)))
        self.assertTrue(rulecalc.evaluate("D = 0;", D=datetime.date(1899, 12, 30)))

    def test_dates_through_the_date_built_ins(self):
        # Depends on the date built-ins.
        self.assertTrue(rulecalc.evaluate("YEAR(D) = 2024 AND MONTH(D) = 2 AND DAY(D) = 29;", D=datetime.date(2024, 2, 29)))

    def test_values_that_cannot_be_passed(self):
        with self.assertRaises(TypeError):
            rulecalc.evaluate("X = 1;", X=[1])
        with self.assertRaises(ValueError):
            rulecalc.evaluate("X = 1;", X=float("nan"))


class Gbk(unittest.TestCase):
    def test_a_chinese_character_is_two_bytes_to_the_library(self):
        self.assertTrue(rulecalc.evaluate("LENGTH(N) = 2;", N="中"))
        self.assertTrue(rulecalc.evaluate("SUBSTR(N, 2, 2) = \"京\";", N="北京市"))
        self.assertTrue(rulecalc.evaluate("FINDSTR(N, \"市\") = 4;", N="北京市"))

    def test_chinese_comes_back_as_str(self):
        held, why = rulecalc.evaluate("CITY = \"北京\";", CITY="上海")
        self.assertEqual((held, why), (False, "CITY::CITY = \"北京\";"))

    def test_text_gbk_lacks_is_refused(self):
        with self.assertRaisesRegex(ValueError, "the value of N"):
            rulecalc.evaluate("N = \"x\";", N="😀")
        with self.assertRaisesRegex(ValueError, "the sentence"):
            rulecalc.evaluate("N = \"😀\";", N="x")


class Listings(unittest.TestCase):
    def test_tokens_numbers_varnames_as_lists(self):
        self.assertEqual(rulecalc.tokens("IF x >= 10 THEN y = \"a;b\";"),
                         ["IF", "x", ">=", "10", "THEN", "y", "=", "\"a;b\"", ";"])
        self.assertEqual(rulecalc.numbers("IF x >= 10 THEN y = 2.5 ELSE y = 0;"), ["10", "2.5", "0"])
        self.assertEqual(rulecalc.numbers("1.5.3"), ["1.5", "3"])
        self.assertEqual(rulecalc.varnames("a + A + b1 + B1"), ["a", "b1"])
        self.assertEqual(rulecalc.varnames("1 + 2"), [])
        self.assertEqual(rulecalc.tokens("N = \"中\";"), ["N", "=", "\"中\"", ";"])


class OneCallAtATime(unittest.TestCase):
    def test_threads_share_the_library_without_mixing_their_calls(self):
        def worker(n, failures):
            for i in range(200):
                expected = (n + i) % 2 == 0
                result = rulecalc.evaluate("A = B;", A=n + i, B=(n + i) if expected else -1)
                if result.held != expected or (not expected and result.explanation != "A,B::A = B;"):
                    failures.append((n, i, result))

        self.assertEqual(failures_on_threads(worker, 4), [])


class Loading(unittest.TestCase):
    def test_the_library_paths_come_from_the_environment(self):
        for found, variable in ((rulecalc.library_path, "RULECALC_LIBRARY"),
                                (rulecalc.batch_library_path, "RULECALC_BATCH_LIBRARY")):
            with self.subTest(variable=variable):
                self.assertEqual(found(), os.environ.get(variable, found()))

    def test_a_build_that_cannot_load_gives_way_to_the_next(self):
        with tempfile.TemporaryDirectory() as folder:
            unloadable = os.path.join(folder, "_native" + importlib.machinery.EXTENSION_SUFFIXES[0])
            with open(unloadable, "wb") as stub:
                stub.write(b"not a shared object")
            code = ("import rulecalc, rulecalc._library as library; built = library._built_modules(); "
                    f"library._built_modules = lambda: [{unloadable!r}] + built; "
                    "print(rulecalc.Rule('A>1;').evaluate(A=2).held)")
            run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=os.environ)
        self.assertEqual((run.returncode, run.stdout.strip()), (0, "True"), run.stderr)


if __name__ == "__main__":
    unittest.main()
