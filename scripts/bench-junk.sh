#!/usr/bin/env bash
# Builds and runs the junk scan/clean benchmark under Wine and prints its
# figures. Not part of the tests. Optional arguments: FOLDERS FILES_PER_FOLDER
# (default 4000 and 50: 200 000 files).
exec bash "$(dirname "$0")/run-bench.sh" junk 'C:\users\Public\qo-junk-bench' "$@"
