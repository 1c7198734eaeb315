"""The rules file of a batch.

    # a comment, anywhere outside a text
    @date-order mdy
    @date-separator /
    adult "年满十八周岁": AGE >= 18;
    income: IF HOUSEHOLD > 0
            THEN INCOME / HOUSEHOLD < 8000;

A rule is an id, an optional description in double quotes, a colon and a
sentence that runs to its ';' (it may span lines). Errors name the file, the
line and the column (in characters).
"""

from dataclasses import dataclass
from typing import Optional, Tuple

from .problems import UsageError

_BLANKS = " \t\r\n"
_DATE_ORDERS = ("ymd", "mdy", "dmy")


@dataclass(frozen=True)
class BatchRule:
    id: str
    sentence: str
    line: int
    description: str = ""


@dataclass(frozen=True)
class RulesFile:
    rules: Tuple[BatchRule, ...]
    date_order: Optional[str] = None
    date_separator: Optional[str] = None


class _Scanner:
    def __init__(self, text, path):
        self.text, self.path = text, path
        self.pos, self.line, self.line_start = 0, 1, 0

    def at_end(self):
        return self.pos >= len(self.text)

    def peek(self):
        return "" if self.at_end() else self.text[self.pos]

    def advance(self):
        if self.at_end():
            return
        self.pos += 1
        if self.text[self.pos - 1] == "\n":
            self.line, self.line_start = self.line + 1, self.pos

    def skip_blanks_and_comments(self):
        """Skips white space and comments; False at the end of the text."""
        while not self.at_end():
            if self.peek() == "#":
                self.until_one_of("\n")
            elif self.peek() in _BLANKS:
                self.advance()
            else:
                return True
        return False

    def skip_spaces(self):
        while self.peek() in (" ", "\t") and not self.at_end():
            self.advance()

    def until_one_of(self, stops):
        start = self.pos
        while not self.at_end() and self.peek() not in stops:
            self.advance()
        return self.text[start:self.pos]

    def word(self):
        start = self.pos
        while not self.at_end() and self.peek() > " " and self.peek() != "#":
            self.advance()
        return self.text[start:self.pos]

    def quoted_text(self):
        where = self.where()
        self.advance()
        text = self.until_one_of('"\n')
        if self.peek() != '"':
            raise UsageError(where + "the description has no closing '\"' on its line")
        self.advance()
        return text

    def sentence(self, rule_id, started_at):
        """The sentence up to and with its ';' outside texts, comments left out."""
        parts = []
        while not self.at_end():
            c = self.peek()
            if c == "#":
                self.until_one_of("\n")
                continue
            if c == ":":
                raise UsageError("%s':' inside the sentence of rule '%s' (%s): is the ';' at the end of that rule "
                                 "missing?" % (self.where(), rule_id, started_at[:-2]))
            parts.append(c)
            self.advance()
            if c == ";":
                return "".join(parts)
            if c != '"':
                continue
            parts.append(self.until_one_of('"'))
            if self.at_end():
                break
            parts.append('"')
            self.advance()
        raise UsageError("%sthe rule '%s' (%s) has no ';' at its end" % (self.where(), rule_id, started_at[:-2]))

    def where(self):
        return "%s:%d:%d: " % (self.path, self.line, self.pos - self.line_start + 1)


def _setting(scanner, settings):
    where = scanner.where()
    scanner.advance()
    name = scanner.word()
    scanner.skip_spaces()
    value = scanner.word()
    if name == "date-order" and value in _DATE_ORDERS:
        settings["date_order"] = value
    elif name == "date-separator" and len(value) == 1:
        settings["date_separator"] = value
    else:
        raise UsageError("%sexpected '@date-order ymd|mdy|dmy' or '@date-separator C', not '@%s%s'" % (
            where, name, " " + value if value else ""))


def _checked_gbk(text, what):
    try:
        text.encode("gbk")
    except UnicodeEncodeError as bad:
        raise UsageError("%s cannot be converted to GBK at byte %d: it has a character GBK lacks" % (
            what, len(text[:bad.start].encode("utf-8")) + 1)) from None
    return text


def _rule(scanner):
    where = scanner.where()
    rule_id = scanner.until_one_of(':"\n#;').rstrip(_BLANKS)
    description = scanner.quoted_text() if scanner.peek() == '"' else ""
    scanner.skip_spaces()
    if not rule_id or scanner.peek() != ":":
        raise UsageError(where + "expected 'id: sentence;' or 'id \"description\": sentence;'")
    scanner.advance()
    scanner.skip_blanks_and_comments()
    line = scanner.line
    _checked_gbk(rule_id, where + "the rule id")
    sentence = _checked_gbk(scanner.sentence(rule_id, where), where + "the sentence of " + rule_id)
    return BatchRule(rule_id, sentence, line, _checked_gbk(description, where + "the description"))


def parse_rules(text, path):
    scanner = _Scanner(text[1:] if text.startswith("\ufeff") else text, path)
    rules, settings = [], {}
    while scanner.skip_blanks_and_comments():
        if scanner.peek() == "@":
            _setting(scanner, settings)
            continue
        rule = _rule(scanner)
        if any(r.id == rule.id for r in rules):
            raise UsageError("%s:%d: the rule id '%s' is used twice" % (path, rule.line, rule.id))
        rules.append(rule)
    if not rules:
        raise UsageError("the rules file '%s' holds no rules" % path)
    return RulesFile(tuple(rules), **settings)


def read_rules_file(path):
    """The rules and settings of the file at path; UsageError when it is unusable."""
    try:
        with open(path, "rb") as file:
            raw = file.read()
    except OSError:
        raise UsageError("cannot read the rules file '%s'" % path) from None
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        text = raw.decode("gbk", "replace")
    return parse_rules(text, path)
