#!/usr/bin/env bash
# The program started headless from a shell, as automation starts it: its
# first line of standard output is the page's address, the page behind that
# address answers, and the main document's close ends the program with 0.
# usage: headless_address.sh SOURCE_FOLDER BUILD_FOLDER
set -uo pipefail
root=$1 build=$2
. "$root/tests/e2e/program.sh"
failures=()

start_program program QuillmarkOrvane.exe --headless
address=$(address_of program)
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
wait_for_exit program
[ "$exit_code" = 0 ] || failures+=("the program ended with $exit_code")

for failure in "${failures[@]}"; do echo "$failure"; done
junit_report e2e_headless Headless AddressOnStandardOutputFromAShell "${failures[0]:-}"
[ "${#failures[@]}" -eq 0 ]
