#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it under Wine, in a
# prefix of its own (build/wine-run), from the folder where it lands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
export QO_BUILD_DIR=$build

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
# A machine that runs no 32-bit code runs the same sources built as a 64-bit
# program.
. "$root/scripts/machine.sh"
product=$build
use_runnable_build "$product"
[ "$build" = "$product" ] || bash "$root/scripts/build.sh" QuillmarkOrvane
cd "$build/bin"
exec "$root/scripts/wine.sh" "$build/wine-run" QuillmarkOrvane.exe "$@"
