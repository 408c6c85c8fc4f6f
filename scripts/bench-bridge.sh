#!/usr/bin/env bash
# Benchmark of the script bridge under Wine, driven from headless Chromium
# through Playwright (both installed by scripts/setup.sh): prints the native
# call round trip (median, p99) and the script callbacks per second. Not part
# of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
export QO_BUILD_DIR=$build

bash "$root/scripts/setup.sh"
. "$root/scripts/machine.sh"
use_runnable_build "$build"
QO_BUILD_DIR=$build QO_BUILD_BENCH=ON bash "$root/scripts/build.sh" QuillmarkOrvane callback_bench
cp "$root/tests/e2e/bench-bridge.mjs" "$build/e2e/"

. "$root/tests/e2e/program.sh"
start_program program QuillmarkOrvane.exe --headless
start_program callbacks callback_bench.exe "Z:${build//\//\\}\\ui.sar"
node "$build/e2e/bench-bridge.mjs" "$(address_of program)" "$(address_of callbacks)" "$work/profile"
