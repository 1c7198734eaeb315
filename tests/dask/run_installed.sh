#!/bin/sh
# Installs the Python package into a fresh virtual environment made from
# Debian's interpreter (it sees Debian's dask, distributed and pandas), as its
# users do, and runs the Dask batch tests with it from outside the source
# tree: rulecalc-dask is the installed console script, and the package finds
# the library it carries.
#
# usage: run_installed.sh PYTHON SOURCE_DIR LIBRARY BATCH_LIBRARY CLI
set -eu
python=$1 source=$2 library=$3 batch_library=$4 cli=$5

# Without Debian's dask, distributed and pandas the test is skipped (status
# 77), except under CI, which installs them.
if ! "$python" -c 'import dask.dataframe, distributed, pandas' 2>/dev/null; then
  echo "python3-dask, python3-distributed and python3-pandas are needed for this test"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$python" -m venv --system-site-packages "$work/venv"
cp -R "$source/bindings/python" "$work/package"
rm -rf "$work/package/build" "$work/package"/*.egg-info
RULECALC_INCLUDE=$source/include RULECALC_LIBRARY=$library RULECALC_BATCH_LIBRARY=$batch_library "$work/venv/bin/pip" install -q --no-index --no-build-isolation "$work/package"
cp "$source/tests/dask/test_dask_batch.py" "$work/"
cd "$work"
env -u RULECALC_LIBRARY -u RULECALC_BATCH_LIBRARY -u PYTHONPATH RULECALC_CLI="$cli" RULECALC_EXAMPLES="$source/examples" \
  "$work/venv/bin/python" -m unittest -v test_dask_batch
