#!/usr/bin/env bash
# Configures and builds everything in the build folder ($QO_BUILD_DIR, by
# default build/ beside the sources). $QO_TARGET picks the compiler: i686
# (the default: the 32-bit program) or x86_64 (the same sources as a 64-bit
# program, for machines that run no 32-bit code); $QO_DEPS_DIR, where the
# dependency sources are prepared (by default inside the build folder);
# QO_BUILD_BENCH=ON adds the benchmark executables.
# usage: build.sh [CMAKE_TARGET...]   (everything by default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
target=${QO_TARGET:-i686}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/$target-w64-mingw32.cmake" \
    ${QO_DEPS_DIR:+"-DQO_DEPS_DIR=$QO_DEPS_DIR"}
fi
[ -z "${QO_BUILD_BENCH:-}" ] || cmake -S "$root" -B "$build" "-DQO_BUILD_BENCH=$QO_BUILD_BENCH" >/dev/null
cmake --build "$build" ${1:+--target "$@"}
