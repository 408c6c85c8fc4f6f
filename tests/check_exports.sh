#!/usr/bin/env bash
# Compares the executable's export directory with the expected names and
# writes the outcome as a test report.
# usage: check_exports.sh OBJDUMP PROGRAM EXPECTED_LIST
set -euo pipefail
. "$(dirname "$0")/junit_report.sh"
actual=$("$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[\s*[0-9]*\] //p' | sort)
expected=$(sort "$3")
if [ "$actual" = "$expected" ]; then
  junit_report exports Exports ExportDirectory
  exit 0
fi
echo "export directory differs from $3:"
diff <(echo "$expected") <(echo "$actual") || true
junit_report exports Exports ExportDirectory "export directory differs"
exit 1
