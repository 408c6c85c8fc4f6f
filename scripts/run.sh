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
if ! machine_runs_32bit_code; then
  echo "This machine runs no 32-bit code: running a 64-bit build of the program from $build/x64."
  QO_TARGET=x86_64 QO_BUILD_DIR=$build/x64 QO_DEPS_DIR=$build/_deps bash "$root/scripts/build.sh"
  build=$build/x64
fi
cd "$build/bin"
exec "$root/scripts/wine.sh" "$build/wine-run" QuillmarkOrvane.exe "$@"
