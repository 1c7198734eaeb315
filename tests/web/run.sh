#!/bin/sh
# Builds the WebAssembly module and the page (the web preset, in build-web/)
# and runs the page's browser test against the tool.
#   run.sh SOURCE_DIR TOOL SCREENSHOT_DIR
# Exit 77 (skipped) when emcc, node 20 or later, npm or chromium is missing, unless
# RULECALC_REQUIRE_CHROMIUM is set (CI installs them all).
set -eu
source_dir=$1
tool=$2
screenshots=$3

missing=""
for program in emcc node npm /usr/bin/chromium; do
  command -v "$program" >/dev/null 2>&1 || missing="$missing $program"
done
if [ -n "$missing" ]; then
  echo "rulecalc_web: not found:$missing (apt-get install emscripten nodejs npm chromium)"
  [ -n "${RULECALC_REQUIRE_CHROMIUM:-}" ] && exit 1
  exit 77
fi

# playwright-core and the page's build tools need node 20 or later (Debian 12
# ships 18).
node_major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$node_major" -lt 20 ]; then
  echo "rulecalc_web: node $(node --version) is older than the page's tools need (20 or later)"
  exit 77
fi

cd "$source_dir"
cmake --preset web >/dev/null
cmake --build --preset web
node web/tests/page.test.mjs build-web/web/site "$tool" "$screenshots"
