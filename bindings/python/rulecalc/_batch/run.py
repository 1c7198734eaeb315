"""A batch run on a Dask cluster.

The client's engine reads the rules and the headers and plans blocks by byte
offsets; the workers scan the blocks; the client folds the scans (each
block's start, first row, the column types) and prepares the rules; the
workers evaluate the settled blocks into parts, and the client takes the
parts in file order as they complete. Only a window of blocks is out at a
time, so neither the client nor the workers hold more than that many parts.
"""

import hashlib

from distributed import as_completed

from .tasks import evaluate_block, scan_block

# Blocks out at a time per worker thread: enough to keep every thread busy
# while the client waits for the next block in file order.
BLOCKS_PER_THREAD = 4


def byte_blocks(files, block_bytes):
    """(file, start, stop) of every block of every file, in file order; a
    file without records after its header still has one (empty) block."""
    for index, (_, _, data_start, size) in enumerate(files):
        at = data_start
        while True:
            yield index, at, min(at + block_bytes, size)
            at += block_bytes
            if at >= size:
                break


class BatchRun:
    """One run on the client's engine handle. show_diagnostics() shows what
    the engine gathered so far; progress(done, total) follows the evaluation."""

    def __init__(self, client, batch, show_diagnostics, progress):
        self.client, self.batch = client, batch
        self.show_diagnostics, self.progress = show_diagnostics, progress

    def _plan(self):
        """The engine's plan on every worker, and the key its handles are kept by."""
        plan = self.batch.plan()
        return hashlib.sha256(plan).hexdigest(), self.client.scatter(plan, broadcast=True, hash=False)

    def settle(self, block_bytes):
        """Scans every block, folds the scans and prepares the rules; the settled blocks."""
        key, plan = self._plan()
        futures = [self.client.submit(scan_block, key, plan, *block, pure=False)
                   for block in byte_blocks(self.batch.files(), block_bytes)]
        scans = self.client.gather(futures)
        del futures
        self.batch.fold_scans(scans)
        self.show_diagnostics()
        self.batch.prepare()
        self.show_diagnostics()
        return self.batch.blocks()

    def evaluate(self, blocks, take_part):
        """Evaluates the blocks and hands each part to take_part(part) in file order."""
        key, plan = self._plan()
        window = BLOCKS_PER_THREAD * max(1, sum(self.client.nthreads().values()))
        futures, finished = {}, as_completed()

        def submit(index):
            future = self.client.submit(evaluate_block, key, plan, blocks[index], pure=False)
            futures[index] = future
            finished.add(future)

        for index in range(min(window, len(blocks))):
            submit(index)
        place = {future.key: index for index, future in futures.items()}
        done, taken = set(), 0
        for count, future in enumerate(finished, start=1):
            done.add(place.pop(future.key))
            while taken in done:
                done.remove(taken)
                part = futures.pop(taken).result()
                take_part(part)
                if taken + window < len(blocks):
                    submit(taken + window)
                    place[futures[taken + window].key] = taken + window
                taken += 1
            self.progress(count, len(blocks))
