"""One rule's verdict on one row, with rules compiled once per worker thread."""

import threading

import rulecalc

from .columns import NUMBER, TEXT

_compiled = threading.local()
_TYPE_NAMES = {NUMBER: "number", TEXT: "text"}


def rule_types(columns):
    """The types argument of rulecalc.Rule for the columns, as a hashable tuple."""
    return tuple((c.name, _TYPE_NAMES[c.type]) for c in columns)


def compiled_rule(sentence, types):
    """The rule analysed against types, analysed once per thread and then reused."""
    cache = _compiled.__dict__.setdefault("rules", {})
    rule = cache.get((sentence, types))
    if rule is None:
        rule = cache[(sentence, types)] = rulecalc.Rule(sentence, types=dict(types))
    return rule


def analysis_error(sentence, types):
    """The analyser's message when the sentence does not analyse against types, else None."""
    try:
        compiled_rule(sentence, types)
    except rulecalc.AnalysisError as error:
        return error.message
    return None


def verdict(result):
    """(word, text) of a result: true and "", false and the explanation, error and the message."""
    if result.held:
        return "true", ""
    if result.error:
        return "error", result.error
    return "false", result.explanation
