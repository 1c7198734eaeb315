"""rulecalc.Rule: results, values and types, analysis, warnings, settings and threads."""

import datetime
import decimal
import enum
import unittest

from on_threads import failures_on_threads
from rulecalc import AnalysisError, Result, Rule, Status

try:
    import numpy
except ImportError:
    numpy = None

HELD = Result(True, Status.HELD)


class Colour(int, enum.Enum):
    RED = 5


class Ratio(float, enum.Enum):
    HALF = 0.5


class Results(unittest.TestCase):
    CASES = [
        # (sentence, values, expected result)
        ("A>1;", {"A": 5}, HELD),
        ("A>1;", {"a": 0}, Result(False, Status.FAILED, "A::A>1;", "A>1", ("A",))),
        ("IF AGE>=18 THEN SCORE>=60 ELSE SCORE>=80;", {"AGE": 16, "SCORE": 75},
         Result(False, Status.FAILED, "SCORE::IF AGE>=18 不成立则 SCORE>=80", "IF AGE>=18 不成立则 SCORE>=80", ("SCORE",))),
        ("A>1 AND B+A<2 OR C=3;", {"A": 5, "B": 9, "C": 0},
         Result(False, Status.FAILED, "B,A:: B+A<2 ;C:: C=3;", "B+A<2", ("B", "A", "C"))),
        ("IF 1>2 THEN 1>2 ELSE 2>3;", {}, Result(False, Status.FAILED, "IF 1>2 不成立则", "IF 1>2 不成立则")),
        ("CITY = \"北京\";", {"CITY": "上海"},
         Result(False, Status.FAILED, "CITY::CITY = \"北京\";", "CITY = \"北京\"", ("CITY",))),
        ("S = \"a;b::c\" AND T = \"x;\";", {"S": "q", "T": "y"},
         Result(False, Status.FAILED, "S::S = \"a;b::c\" ;T:: T = \"x;\";", "S = \"a;b::c\"", ("S", "T"))),
    ]

    def test_evaluate_gives_status_explanation_clause_and_variables(self):
        for sentence, values, expected in self.CASES:
            with self.subTest(sentence=sentence):
                rule = Rule(sentence)
                self.assertEqual(rule.evaluate(values), expected)
                self.assertEqual(rule.evaluate(**values), expected)
                self.assertEqual(rule.evaluate_many([values, values]), [expected, expected])

    def test_nothing_carries_over_between_evaluations(self):
        rule = Rule("A>1 AND B>1;")
        self.assertEqual([r.explanation for r in rule.evaluate_many([{"A": 0, "B": 0}, {"A": 0, "B": 5}])],
                         ["A::A>1 ;B:: B>1;", "A::A>1 ;"])
        # Rows whose types change go to a calculator analysed for their types; each row
        # answers as a Rule made for it alone.
        sentence = "IF A>1 THEN B>1 ELSE B>2 AND A<>B;"
        rows = [{"A": 0, "B": 0}, {"A": "x", "B": 0}, {"A": 0, "B": 0}, {"A": 2, "B": "y"}, {"A": 2, "B": 0}]
        self.assertEqual(Rule(sentence).evaluate_many(rows), [Rule(sentence).evaluate(row) for row in rows])


class Values(unittest.TestCase):
    ACCEPTED = [
        # (sentence, value, types, holds)
        ("X = 3;", 3, None, True),
        ("X = 0.3;", 0.1 + 0.2, None, True),
        ("X = 1;", True, None, True),
        ("X = 12.25;", decimal.Decimal("12.25"), None, True),
        ("X = 5;", Colour.RED, None, True),
        ("X = 0.5;", Ratio.HALF, None, True),
        ("X = \"5\";", Colour.RED, {"X": "text"}, True),
        ("X > 1000;", 10**301, None, True),
        ("X = NULL;", None, None, True),
        ("NVL(X, 7) = 7;", None, None, True),
        ("X = \"\";", None, {"X": "text"}, True),
        ("X = 45351;", datetime.date(2024, 2, 29), None, True),
        ("X = 45351.5;", datetime.datetime(2024, 2, 29, 12), None, True),
        ("LENGTH(X) = 3;", "中a", None, True),
        ("X = 12.5;", "12.5", {"X": "number"}, True),
        ("X = NULL;", "", {"X": "number"}, True),
        ("LENGTH(X) = 3;", 123, {"X": "TEXT"}, True),
    ]
    REFUSED = [
        # (value, types, error, words of the message)
        (10**400, None, ValueError, "X"),
        (float("nan"), None, ValueError, "X"),
        (float("-inf"), None, ValueError, "X"),
        (decimal.Decimal("1E+400"), None, ValueError, "X"),
        (decimal.Decimal("NaN"), None, ValueError, "X"),
        ("😀", None, ValueError, "X"),
        ("ab\x00cd", None, ValueError, "the value of X holds a NUL character at position 2"),
        ("12 apples", {"X": "number"}, ValueError, "not a number"),
        ("1e999", {"X": "number"}, ValueError, "X"),
        (datetime.date(2024, 1, 1), {"X": "text"}, TypeError, "X"),
        ([1], None, TypeError, "X"),
        (1, {"X": "date"}, ValueError, "'number' or 'text'"),
    ]

    def test_python_values_become_numbers_texts_and_nulls(self):
        for sentence, value, types, holds in self.ACCEPTED:
            with self.subTest(sentence=sentence, value=value):
                self.assertEqual(Rule(sentence, types=types).evaluate(X=value).held, holds)

    def test_values_the_library_cannot_hold_are_refused_by_name(self):
        for value, types, error, words in self.REFUSED:
            with self.subTest(value=value, types=types):
                with self.assertRaisesRegex(error, words):
                    Rule("X = X;", types=types).evaluate(X=value)

    @unittest.skipIf(numpy is None, "numpy is not installed")
    def test_numpy_scalars(self):
        rule = Rule("N = 3 AND F = 2.5 AND D = 45351.5 AND B = 1;")
        values = dict(N=numpy.int64(3), F=numpy.float32(2.5), D=numpy.datetime64("2024-02-29T12:00"), B=numpy.bool_(True))
        self.assertTrue(rule.evaluate(values))
        with self.assertRaisesRegex(ValueError, "N"):
            rule.evaluate(values, N=numpy.float64("nan"))


class Analysis(unittest.TestCase):
    def test_a_sentence_that_does_not_analyse_for_any_types_is_refused_when_made(self):
        for sentence, message in [("A>1", "表达式语句结尾处缺少分号!"), ("LENGTH(A) > 0 AND YEAR(A) > 0;", "字符串LENGTH函数参数必须为字符串类型!")]:
            with self.subTest(sentence=sentence):
                with self.assertRaises(AnalysisError) as caught:
                    Rule(sentence)
                self.assertEqual((caught.exception.message, caught.exception.sentence), (message, sentence))

    def test_untyped_variables_may_take_either_type(self):
        rule = Rule("IF CITY = \"北京\" THEN MONTHS >= 24 ELSE MONTHS >= 12;")
        self.assertEqual(rule.variables, ("CITY", "MONTHS"))
        self.assertTrue(rule.evaluate(CITY="北京", MONTHS=30))

    def test_values_of_types_the_sentence_refuses_name_them(self):
        rule = Rule("LENGTH(NAME) > 1;")
        with self.assertRaises(AnalysisError) as caught:
            rule.evaluate_many([{"NAME": "ab"}, {"NAME": 12}])
        self.assertEqual(caught.exception.__notes__, ["row 1 (counting from 0), with NAME as number"])
        with self.assertRaisesRegex(AnalysisError, "变量NAME未赋值!"):
            rule.evaluate(OTHER=1)

    def test_warnings_give_the_character_position(self):
        cases = [
            ("N = \"中\" AND A = \"x\";", {"A": "number"}, [14]),
            ("A + S > 1;", {"A": "number", "S": "text"}, [2]),
            ("IF CITY = \"北京\" THEN M >= 24;", None, []),
        ]
        for sentence, types, positions in cases:
            with self.subTest(sentence=sentence):
                warnings = Rule(sentence, types=types).warnings
                self.assertEqual([w.position for w in warnings], positions)
                self.assertTrue(all(w.message for w in warnings))


class Settings(unittest.TestCase):
    def test_date_settings_of_one_rule(self):
        day = datetime.date(2024, 12, 31)
        cases = [
            ({"date_order": "DMY", "date_separator": "-"}, "31-12-24"),
            ({"date_order": "ymd", "date_separator": "."}, "24.12.31"),
        ]
        for settings, text in cases:
            with self.subTest(settings=settings):
                rule = Rule(f'TOCHAR(X, "ddddd") = "{text}" AND TODATE("{text}") = X;', settings=settings)
                self.assertTrue(rule.evaluate(X=day))
        self.assertTrue(Rule('YEAR(TODATE("3/4/30")) = 1930;', settings={"current_year": 1950}).evaluate())

    def test_invalid_settings_are_refused(self):
        for settings in [{"date_order": "XYZ"}, {"date_separator": "ab"}, {"date_separator": "1"}, {"current_year": 10000},
                         {"current_year": 2020.5}, {"current_year": "2020"}, {"current_year": 2**32 + 2020},
                         {"language": "modern"}]:
            with self.subTest(settings=settings):
                with self.assertRaisesRegex((ValueError, TypeError), "|".join(settings)):
                    Rule("A>1;", settings=settings)


    def test_the_language_a_rule_is_read_in(self):
        self.assertTrue(Rule("NOT > 1;").evaluate(NOT=2))
        with self.assertRaises(AnalysisError):
            Rule("NOT > 1;", language="extended")
        with self.assertRaises(AnalysisError):
            Rule("NOT > 1;", settings={"language": "extended"})


class Lifetime(unittest.TestCase):
    def test_a_closed_rule_refuses_to_evaluate(self):
        with Rule("A>1;") as rule:
            self.assertTrue(rule.evaluate(A=2))
        with self.assertRaisesRegex(ValueError, "closed"):
            rule.evaluate(A=2)


class Threads(unittest.TestCase):
    def run_threads(self, rule_for_thread):
        def worker(n, failures):
            rule = rule_for_thread(n)
            for i in range(300):
                a, b = n * 1000 + i, n * 1000 + i * (i % 2)
                result = rule.evaluate(A=a, B=b)
                if result.held != (a == b) or (not result.held and result.explanation != "A,B::A = B;"):
                    failures.append((n, i, result))

        self.assertEqual(failures_on_threads(worker, 4), [])

    def test_separate_rules_on_separate_threads(self):
        self.run_threads(lambda n: Rule("A = B;"))

    def test_one_rule_shared_by_threads(self):
        shared = Rule("A = B;")
        self.run_threads(lambda n: shared)


if __name__ == "__main__":
    unittest.main()
