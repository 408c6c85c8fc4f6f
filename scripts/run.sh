#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it under Wine, in a
# prefix of its own (build/wine-run), from the folder where it lands.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
export QO_BUILD_DIR=$build

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
cd "$build/bin"
exec "$root/scripts/wine.sh" "$build/wine-run" QuillmarkOrvane.exe "$@"
