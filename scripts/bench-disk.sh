#!/usr/bin/env bash
# Builds and runs the system disk benchmark (size worker, download-folder
# move) under Wine and prints its figures. Not part of the tests. Optional
# arguments: FOLDERS FILES_PER_FOLDER MOVE_FOLDERS (default 4000, 50 and 400:
# 200 000 files to size, 20 000 to move). The move onto another volume goes
# to drive Q:, which the build's bench prefix maps for the run to a folder
# under /dev/shm (a tmpfs: another file system than the prefix's C:).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/machine.sh"
use_runnable_build "${QO_BUILD_DIR:-$root/build}"
. "$root/scripts/wine-env.sh" "$build/wine"
other=/dev/shm/qo-disk-bench-$$
drive="$WINEPREFIX/dosdevices/q:"
[ ! -e "$drive" ] || { echo "drive Q: is mapped already in $WINEPREFIX" >&2; exit 1; }
mkdir -p "$other"
ln -s "$other" "$drive"
trap 'rm -f "$drive"; rm -rf "$other"' EXIT
bash "$root/scripts/bench.sh" disk 'C:\users\Public\qo-disk-bench' 'Q:\qo-disk-bench' "$@"
