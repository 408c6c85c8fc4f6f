#!/usr/bin/env bash
# Builds one benchmark and runs it under Wine in the build's test prefix; it
# prints its figures. Not part of the tests.
# usage: bench.sh NAME [ARGUMENTS...]   (NAME: junk, registry, ...)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
name=$1
shift
bash "$root/scripts/setup.sh"
. "$root/scripts/machine.sh"
use_runnable_build "$build"
QO_BUILD_DIR=$build QO_BUILD_BENCH=ON bash "$root/scripts/build.sh" "${name}_bench"
cd "$build/bin"
"$root/scripts/wine.sh" "$build/wine" "./${name}_bench.exe" "$@"
