"""The rules file of a batch: one "id: sentence" per line."""

from dataclasses import dataclass

from .problems import UsageError

_BLANKS = " \t\r\n"


@dataclass(frozen=True)
class BatchRule:
    id: str
    sentence: str
    line: int


def _where(path, line):
    return "%s:%d: " % (path, line)


def _checked_text(text, what):
    try:
        text.encode("gbk")
    except UnicodeEncodeError as bad:
        raise UsageError("%s cannot be converted to GBK at byte %d: it has a character GBK lacks" % (
            what, len(text[:bad.start].encode("utf-8")) + 1)) from None
    return text


def _rule_of_line(text, path, number):
    rule_id, colon, sentence = text.partition(":")
    rule_id, sentence = rule_id.strip(_BLANKS), sentence.strip(_BLANKS)
    if not colon or not rule_id or not sentence:
        raise UsageError(_where(path, number) + "expected 'id: sentence'")
    _checked_text(rule_id, _where(path, number) + "the rule id")
    _checked_text(sentence, _where(path, number) + "the sentence")
    return BatchRule(rule_id, sentence, number)


def read_rules_file(path):
    """The rules of the file at path, in their order; UsageError when it is unusable."""
    try:
        with open(path, "rb") as file:
            lines = file.read().split(b"\n")
    except OSError:
        raise UsageError("cannot read the rules file '%s'" % path) from None
    rules = []
    for number, raw in enumerate(lines, start=1):
        if number == 1 and raw.startswith(b"\xef\xbb\xbf"):
            raw = raw[3:]
        try:
            text = raw.decode("utf-8").strip(_BLANKS)
        except UnicodeDecodeError as bad:
            raise UsageError(_where(path, number) + "the line is not valid UTF-8 at byte %d" % (bad.start + 1)) from None
        if not text or text.startswith("#"):
            continue
        rule = _rule_of_line(text, path, number)
        if any(r.id == rule.id for r in rules):
            raise UsageError(_where(path, number) + "the rule id '%s' is used twice" % rule.id)
        rules.append(rule)
    if not rules:
        raise UsageError("the rules file '%s' holds no rules" % path)
    return rules
