#!/usr/bin/env bash
# The program started headless from a shell, as automation starts it: its
# first line of standard output is the page's address, the page behind that
# address answers, and the main document's close ends the program with 0.
# usage: headless_address.sh WINE_SCRIPT WINE_ROOT PROGRAM_FOLDER
set -uo pipefail
wine_script=$1 wine_root=$2 folder=$3
output=$(mktemp -d)
trap 'rm -rf "$output"' EXIT
failures=()

# The program keeps its log and database in the current folder and consumes
# the seed database there: it runs in a folder of its own.
mkdir "$output/run"
cd "$output/run"
"$wine_script" "$wine_root" "$folder/QuillmarkOrvane.exe" --headless >"$output/stdout" 2>"$output/stderr" &
program=$!
address=""
for _ in $(seq 1 300); do
  address=$(head -n 1 "$output/stdout" 2>/dev/null)
  [ -n "$address" ] && break
  sleep 0.1
done
if [[ ! "$address" =~ ^http://127\.0\.0\.1:([0-9]+)/app/index\.html\?k=([0-9a-f]{32})$ ]]; then
  failures+=("no page address on standard output: '$address'")
else
  port=${BASH_REMATCH[1]} key=${BASH_REMATCH[2]}
  status=$(curl -s -o /dev/null -w '%{http_code}' "$address")
  [ "$status" = 200 ] || failures+=("the page address answered $status")
  status=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/app/index.html")
  [ "$status" = 403 ] || failures+=("a request without the key answered $status")
  answer=$(curl -s -H "X-Orvane-Key: $key" -d '{"name":"GetPopupZoneBit","args":[]}' "http://127.0.0.1:$port/call")
  [ "$answer" = "[0]" ] || failures+=("GetPopupZoneBit answered '$answer'")
  curl -s -o /dev/null -H "X-Orvane-Key: $key" -d '{}' "http://127.0.0.1:$port/close"
fi
for _ in $(seq 1 300); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
  failures+=("the program did not end after its view closed")
  kill "$program"
fi
wait "$program"
code=$?
[ "$code" = 0 ] || failures+=("the program ended with $code")

result=${#failures[@]}
for failure in "${failures[@]}"; do echo "$failure"; done
if [ -n "${QO_TEST_REPORTS:-}" ]; then
  mkdir -p "$QO_TEST_REPORTS"
  failure=""
  [ "$result" -eq 0 ] || failure="<failure message=\"${failures[0]//\"/&quot;}\"/>"
  cat > "$QO_TEST_REPORTS/e2e_headless.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="1" failures="$((result > 0 ? 1 : 0))" disabled="0" errors="0" name="e2e_headless">
  <testsuite name="Headless" tests="1" failures="$((result > 0 ? 1 : 0))"><testcase name="AddressOnStandardOutputFromAShell">$failure</testcase></testsuite>
</testsuites>
XML
fi
[ "$result" -eq 0 ]
