"""What the workers run: a block's scan and its evaluation, each one call
into the engine on a handle made from the run's plan.

A handle is used by one thread at a time, so each worker thread keeps its
own, made once per plan (the plan's key is its hash, computed on the
client): a block costs one native call, not a plan load.
"""

import collections
import threading
import time

from .._engine import Batch

# Plans a thread keeps handles for: the scan's and the evaluation's plan of one run.
_PLANS_KEPT = 2
_local = threading.local()
_native_seconds = []


def _handle(key, plan):
    handles = getattr(_local, "handles", None)
    if handles is None:
        handles = _local.handles = collections.OrderedDict()
    handle = handles.get(key)
    if handle is None:
        handle = handles[key] = Batch(plan)
        while len(handles) > _PLANS_KEPT:
            handles.popitem(last=False)[1].close()
    return handle


def scan_block(key, plan, file, start, stop):
    return _handle(key, plan).scan(file, start, stop)


def evaluate_block(key, plan, block):
    handle = _handle(key, plan)
    started = time.perf_counter()
    part = handle.evaluate(block)
    _native_seconds.append(time.perf_counter() - started)
    return part


def native_seconds():
    """The seconds of each evaluation this worker made, then forgotten (for benchmarks)."""
    taken = list(_native_seconds)
    del _native_seconds[:]
    return taken
