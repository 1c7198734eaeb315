"""A helper for the binding's tests: one worker per thread, every failure gathered."""

import threading


def failures_on_threads(worker, count: int) -> list:
    """Runs worker(n, failures) for n in range(count), each on its own thread, and
    returns what the workers appended to failures."""
    failures = []
    threads = [threading.Thread(target=worker, args=(n, failures)) for n in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return failures
