#!/usr/bin/env bash
# Builds one benchmark executable and runs it under Wine in the build's own
# prefix: run-bench.sh NAME WORK_FOLDER [ARGUMENTS...] runs NAME_bench.exe.
set -euo pipefail
name=$1 work=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/i686-w64-mingw32.cmake"
fi
cmake -S "$root" -B "$build" -DQO_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target "${name}_bench"
cd "$build/bin"
"$root/scripts/wine.sh" "$build/wine" "./${name}_bench.exe" "$work" "$@"
