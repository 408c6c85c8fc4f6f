#!/usr/bin/env bash
# Compares the executable's export directory with the expected names and
# writes the outcome as a test report.
# usage: check_exports.sh OBJDUMP PROGRAM EXPECTED_LIST
set -euo pipefail
actual=$("$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[\s*[0-9]*\] //p' | sort)
expected=$(sort "$3")
result=0
message=""
if [ "$actual" != "$expected" ]; then
  result=1
  message=$(diff <(echo "$expected") <(echo "$actual") || true)
  echo "export directory differs from $3:"
  echo "$message"
fi
if [ -n "${QO_TEST_REPORTS:-}" ]; then
  mkdir -p "$QO_TEST_REPORTS"
  failure=""
  [ "$result" -eq 0 ] || failure='<failure message="export directory differs"/>'
  cat > "$QO_TEST_REPORTS/exports.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="1" failures="$result" disabled="0" errors="0" name="exports">
  <testsuite name="Exports" tests="1" failures="$result"><testcase name="ExportDirectory">$failure</testcase></testsuite>
</testsuites>
XML
fi
exit "$result"
