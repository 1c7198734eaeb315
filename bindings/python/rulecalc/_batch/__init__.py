"""The cluster side of rulecalc-dask: blocks, tasks, the report's parts in order."""
