#!/usr/bin/env bash
# Configures and builds everything in the build folder ($QO_BUILD_DIR, by
# default build/ beside the sources).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/i686-w64-mingw32.cmake"
fi
cmake --build "$build"
