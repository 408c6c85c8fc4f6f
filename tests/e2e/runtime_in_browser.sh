#!/usr/bin/env bash
# The page runtime (src/ui/view.js) in a real browser: headless Chromium,
# driven by Playwright, loads the headless program's page and uses `view`
# (tests/e2e/runtime.mjs); closing the view ends the program with 0.
# usage: runtime_in_browser.sh SOURCE_FOLDER BUILD_FOLDER
set -uo pipefail
root=$1 build=$2
. "$root/tests/e2e/program.sh"
failures=()

cp "$root/tests/e2e/runtime.mjs" "$build/e2e/"
start_program program QuillmarkOrvane.exe --headless
if ! address=$(address_of program); then
  failures+=("the program printed no address")
elif ! node "$build/e2e/runtime.mjs" "$address" "$work/profile"; then
  failures+=("the page runtime failed in Chromium")
fi
wait_for_exit program
[ "$exit_code" = 0 ] || failures+=("the program ended with $exit_code after its view closed")

for failure in "${failures[@]}"; do echo "$failure"; done
junit_report e2e_runtime Runtime ViewInChromium "${failures[0]:-}"
[ "${#failures[@]}" -eq 0 ]
