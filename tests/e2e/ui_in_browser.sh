#!/usr/bin/env bash
# The program's documents in a real browser: the plain script functions
# (units.test.mjs), then headless Chromium driven by Playwright against the
# program started --headless under Wine (ui.test.mjs), on a Wine prefix of
# its own ($build/wine-ui) seeded here with junk files and invalid registry
# entries. Screenshots land in $build/e2e/screenshots.
# usage: ui_in_browser.sh SOURCE_FOLDER BUILD_FOLDER
set -uo pipefail
root=$1 build=$2
export wine_root=$build/wine-ui
. "$root/tests/e2e/program.sh"
drive=$wine_root/prefix/drive_c

# The prefix (created on first use) and its seed.
(
  . "$root/scripts/wine-env.sh" "$wine_root"
  wineserver -k 2>/dev/null
  rm -rf "$drive/windows/temp/qo-e2e" "$drive/windows/temp/qo-bulk" "$drive/qo-e2e-release"
  # Temporary files: pages of rows.
  mkdir -p "$drive/windows/temp/qo-e2e"
  for i in $(seq -w 1 120); do head -c 1000 /dev/zero > "$drive/windows/temp/qo-e2e/page$i.tmp"; done
  head -c 4321 /dev/zero > "$drive/windows/temp/qo-e2e/held.tmp"
  mkdir -p "$drive/windows/Prefetch" "$drive/ProgramData/Microsoft/Windows/WER/ReportQueue/qo-e2e"
  for i in 1 2 3; do head -c 2048 /dev/zero > "$drive/windows/Prefetch/QOE2E.EXE-0000000$i.pf"; done
  head -c 700 /dev/zero > "$drive/ProgramData/Microsoft/Windows/WER/ReportQueue/qo-e2e/Report.wer"
  # The program's settings start empty; three registry categories have issues.
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[-HKEY_CURRENT_USER\Software\Quillmark]' '' \
    '[HKEY_CURRENT_USER\Software\Classes\Local Settings\Software\Microsoft\Windows\Shell\MuiCache]' \
    '"C:\\qo-e2e\\missing.exe.FriendlyAppName"="Missing"' \
    '"C:\\qo-e2e\\gone.exe.ApplicationCompany"="Gone"' '' \
    '[HKEY_CURRENT_USER\Software\QoE2eEmpty]' '' \
    '[HKEY_CURRENT_USER\Software\QoE2eEmptyToo]' '' \
    '[HKEY_CLASSES_ROOT\.qoe2e]' '' > "$work/seed.reg"
  wine regedit /S "$(winepath -w "$work/seed.reg")" >/dev/null 2>&1
  # Imported keys carry an empty default value: without it they are empty.
  for key in 'HKCU\Software\QoE2eEmpty' 'HKCU\Software\QoE2eEmptyToo' 'HKCR\.qoe2e'; do
    wine reg delete "$key" /ve /f >/dev/null 2>&1
  done
  wineserver -w
)

export QO_WINE_ROOT=$wine_root QO_WORK=$work QO_SOURCE=$root QO_BUILD=$build QO_UI_SOURCE=$root/src/ui
cp "$root"/tests/e2e/*.mjs "$build/e2e/"
# node's runner orders the files it is given by name: the plain functions and
# the main flows on the fresh seed run first (report e2e_ui), then the other
# pages' files (report e2e_pages). $QO_E2E_FILES picks the files instead.
reports=${QO_TEST_REPORTS:-$build/test-reports}
mkdir -p "$reports"
run_files() {
  local report=$1
  shift
  (cd "$build/e2e" && node --test --test-concurrency=1 \
    --test-reporter=spec --test-reporter-destination=stdout \
    --test-reporter=./junit-reporter.mjs --test-reporter-destination="$reports/$report.xml" "$@")
}
status=0
if [ -n "${QO_E2E_FILES:-}" ]; then
  run_files e2e_chosen $QO_E2E_FILES || status=$?
else
  first=() pages=()
  for file in "$root"/tests/e2e/*.test.mjs; do
    case ${file##*/} in units*.test.mjs | ui.test.mjs) first+=("${file##*/}") ;; *) pages+=("${file##*/}") ;; esac
  done
  run_files e2e_ui "${first[@]}" || status=$?
  run_files e2e_pages "${pages[@]}" || status=$?
fi

# Whatever the tests left running in their prefix ends with them.
(. "$root/scripts/wine-env.sh" "$wine_root" && wineserver -k 2>/dev/null)
exit "$status"
