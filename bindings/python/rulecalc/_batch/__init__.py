"""The batch of the rulecalc tool, in pieces that Dask workers can run."""
