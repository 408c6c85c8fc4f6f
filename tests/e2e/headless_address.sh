#!/usr/bin/env bash
# The program started headless from a shell, as automation starts it: its
# first line of standard output is the page's address, whose one-time token
# opens the page once and gives the session cookie; the cookie then makes
# calls and reloads, the token nothing more; and the main document's close
# ends the program with 0.
# usage: headless_address.sh SOURCE_FOLDER BUILD_FOLDER
set -uo pipefail
root=$1 build=$2
. "$root/tests/e2e/program.sh"
failures=()

# status [CURL_ARGUMENTS...]: the status a request is answered with.
status() { curl -s -o /dev/null -w '%{http_code}' "$@"; }

start_program program QuillmarkOrvane.exe --headless
address=$(address_of program)
if [[ ! "$address" =~ ^http://127\.0\.0\.1:([0-9]+)/app/index\.html\?t=([0-9a-f]{32})$ ]]; then
  failures+=("no page address on standard output: '$address'")
else
  port=${BASH_REMATCH[1]} token=${BASH_REMATCH[2]} jar=$work/cookies page=http://127.0.0.1:${BASH_REMATCH[1]}
  response=$(curl -s -D - -o /dev/null -c "$jar" "$address" | tr -d '\r')
  [[ "$response" =~ ^HTTP/1.1\ 200 ]] || failures+=("the page address answered: ${response%%$'\n'*}")
  grep -Eq "^Set-Cookie: qo_$port=[0-9a-f]{32}; Path=/; HttpOnly; SameSite=Strict$" <<<"$response" ||
    failures+=("no session cookie in: $response")
  [ "$(status -b "$jar" "$address")" = 403 ] || failures+=("the address opened the page twice")
  [ "$(status "$page/app/index.html")" = 403 ] || failures+=("a request without the cookie was answered")
  [ "$(status -b "$jar" "$page/app/index.html")" = 200 ] || failures+=("a reload with the cookie was refused")
  [ "$(status -d '{"name":"GetPopupZoneBit","args":[]}' "$page/call?t=$token")" = 403 ] ||
    failures+=("the token made a call")
  answer=$(curl -s -b "$jar" -d '{"name":"GetPopupZoneBit","args":[]}' "$page/call")
  [ "$answer" = "[0]" ] || failures+=("GetPopupZoneBit answered '$answer'")
  curl -s -o /dev/null -b "$jar" -d '{}' "$page/close"
fi
wait_for_exit program
[ "$exit_code" = 0 ] || failures+=("the program ended with $exit_code")

for failure in "${failures[@]}"; do echo "$failure"; done
junit_report e2e_headless Headless AddressOnStandardOutputFromAShell "${failures[0]:-}"
[ "${#failures[@]}" -eq 0 ]
