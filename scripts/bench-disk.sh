#!/usr/bin/env bash
# Builds and runs the system disk benchmark (size worker, download-folder
# move) under Wine and prints its figures. Not part of the tests. Optional
# arguments: FOLDERS FILES_PER_FOLDER MOVE_FOLDERS (default 4000, 50 and 400:
# 200 000 files to size, 20 000 to move).
exec bash "$(dirname "$0")/bench.sh" disk 'C:\users\Public\qo-disk-bench' "$@"
