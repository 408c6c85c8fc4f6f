#!/usr/bin/env bash
# Builds and runs the junk scan/clean benchmark under Wine and prints its
# figures. Not part of the tests. Optional arguments: FOLDERS FILES_PER_FOLDER
# (default 4000 and 50: 200 000 files).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/i686-w64-mingw32.cmake"
fi
cmake -S "$root" -B "$build" -DQO_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target junk_bench
cd "$build/bin"
"$root/scripts/wine.sh" "$build/wine" ./junk_bench.exe 'C:\users\Public\qo-junk-bench' "$@"
