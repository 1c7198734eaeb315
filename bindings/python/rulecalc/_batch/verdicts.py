"""Rules compiled once per worker thread, and their verdicts on rows of GBK values."""

import rulecalc

from .._rule_cache import compiled
from .columns import NUMBER

WORDS = ("true", "false", "error")        # by the status a run returns: held, failed, run-time error


def rule_types(columns):
    """The types argument of rulecalc.Rule for the columns, as a hashable tuple."""
    return tuple((c.name, c.type) for c in columns)


def analysis_error(sentence, types, settings=None):
    """The analyser's message when the sentence does not analyse against types, else None."""
    try:
        compiled(sentence, types, settings)
    except rulecalc.AnalysisError as error:
        return error.message
    return None


class RuleOnColumns:
    """A rule with the columns it reads, evaluated on rows of GBK values (one per column)."""

    def __init__(self, sentence, variables, columns, settings=None):
        self.rule = compiled(sentence, rule_types(columns), settings)
        self.columns = tuple(variables)
        self.places = [(columns[i].name.encode("gbk"), i, 0 if columns[i].type == NUMBER else 1)
                       for i in variables]

    def verdicts(self, rows):
        """(status, explanation or message as GBK) for each row."""
        places = self.places
        return self.rule.verdicts([(name, row[i], kind) for name, i, kind in places] for row in rows)
