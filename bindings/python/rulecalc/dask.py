"""Rules over a Dask DataFrame, computed partition by partition on the workers.

    >>> import dask.dataframe as dd
    >>> import rulecalc.dask
    >>> ddf = dd.read_csv("applications-*.csv", dtype={"IDNO": str})
    >>> verdicts = rulecalc.dask.evaluate(ddf, {"adult": "AGE >= 18;"}, key="ID")
    >>> verdicts.compute()

Each partition goes through rulecalc.frame.evaluate, so the result has exactly
its columns; each worker thread analyses each rule once and reuses it for every
partition it is given.
"""

from typing import Mapping, Optional, Union

from . import frame
from ._rule_cache import compiled
from .rule import Rule, Settings


def _sentences(rules: Mapping[str, Union[str, Rule]], settings: Settings):
    """{id: (sentence, settings)}: a Rule stands for its sentence and settings
    (workers analyse their own; a calculator does not travel)."""
    if not isinstance(rules, Mapping):
        raise TypeError("rules must be a mapping from rule ids to sentences (or Rules)")
    return {rule_id: (rule.sentence, rule.settings) if isinstance(rule, Rule) else (rule, settings)
            for rule_id, rule in rules.items()}


def evaluate_partition(df, sentences, key=None, types=None):
    """rulecalc.frame.evaluate of one partition, with rules from the thread's cache."""
    all_types = tuple(sorted(frame.column_types(df, types).items()))
    rules = {rule_id: compiled(sentence, all_types, settings) for rule_id, (sentence, settings) in sentences.items()}
    return frame.evaluate(df, rules, key, types=types)


def evaluate(ddf, rules: Mapping[str, Union[str, Rule]], key: Optional[str] = None, *,
             types: Optional[Mapping[str, str]] = None, settings=None):
    """Evaluates every rule on every row of the Dask DataFrame ddf, lazily.

    Arguments and result columns are those of rulecalc.frame.evaluate: the key
    column first when key is given, then per rule a nullable boolean column
    named by its id and an explanation column (id + "_explanation"). The rules
    are analysed here once against the column types, so a sentence that does
    not analyse fails at once, not on a worker.
    """
    sentences = _sentences(rules, Settings.of(settings))
    meta = evaluate_partition(ddf._meta, sentences, key, types)
    return ddf.map_partitions(evaluate_partition, sentences, key, types, meta=meta)
