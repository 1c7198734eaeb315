#!/bin/sh
# Installs the Python package into a fresh virtual environment, as its users
# do (pip, no network, no build isolation), and runs the binding's tests with
# it from outside the source tree, with nothing pointing at the build: the
# package must find the library it carries.
#
# The venv sees the system's site-packages, for Debian's pandas and numpy.
#
# usage: check_python_package.sh PYTHON SOURCE_DIR LIBRARY BATCH_LIBRARY VERSION [CLI]
set -eu
python=$1 source=$2 library=$3 batch_library=$4 version=$5 cli=${6:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$python" -m venv --system-site-packages "$work/venv" || fail "$python cannot make a virtual environment (Debian: python3-venv)"
# A copy keeps the source tree clean; the libraries just built go into the
# package (setup.py would build them otherwise).
cp -R "$source/bindings/python" "$work/package"
rm -rf "$work/package/build" "$work/package"/*.egg-info
RULECALC_INCLUDE=$source/include RULECALC_LIBRARY=$library RULECALC_BATCH_LIBRARY=$batch_library "$work/venv/bin/pip" install -q --no-index --no-build-isolation "$work/package" ||
  fail "pip could not install the package"

cp "$source"/tests/python/*.py "$work/"
cd "$work"
env -u RULECALC_LIBRARY -u RULECALC_BATCH_LIBRARY -u PYTHONPATH "$work/venv/bin/python" - "$version" <<'PYTHON' || fail "the installed package is not what it should be"
import os, sys
import rulecalc
package = os.path.dirname(rulecalc.__file__)
assert package.startswith(os.path.join(os.getcwd(), "venv")), package
assert rulecalc.library_path() == os.path.join(package, "librulecalc.so.1"), rulecalc.library_path()
assert rulecalc.batch_library_path() == os.path.join(package, "librulecalc_batch.so.1"), rulecalc.batch_library_path()
assert rulecalc.__version__ == sys.argv[1], rulecalc.__version__
assert os.path.isfile(os.path.join(package, "py.typed"))
print("installed package", rulecalc.__version__, "with", rulecalc.library_path(), rulecalc.batch_library_path())
PYTHON
env -u RULECALC_LIBRARY -u RULECALC_BATCH_LIBRARY -u PYTHONPATH RULECALC_CLI="$cli" RULECALC_EXAMPLES="$source/examples" \
  "$work/venv/bin/python" -m unittest test_rulecalc test_rule test_frame || fail "the binding's tests fail with the installed package"
