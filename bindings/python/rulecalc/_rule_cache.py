"""Rules analysed once per thread and then reused: a worker that evaluates
many partitions or blocks compiles each rule once, not once per partition."""

import threading

from .rule import Rule

_local = threading.local()
_count_lock = threading.Lock()
_made = 0


def compiled(sentence, types=(), settings=None):
    """The Rule of sentence for types ((name, type) pairs) and settings, made
    on the calling thread's first request and reused after that."""
    global _made
    cache = _local.__dict__.setdefault("rules", {})
    key = (sentence, types, settings)
    rule = cache.get(key)
    if rule is None:
        rule = cache[key] = Rule(sentence, types=dict(types), settings=settings)
        with _count_lock:
            _made += 1
    return rule


def rules_made():
    """How many Rules this process has analysed through the cache."""
    return _made
