#!/usr/bin/env bash
# Benchmark of the script bridge under Wine, driven from headless Chromium
# through Playwright: prints the native call round trip (median, p99) and the
# script callbacks per second. Installs Chromium (Debian's package) and
# playwright-core (into the build folder) when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QO_BUILD_DIR:-$root/build}
export QO_BUILD_DIR=$build

bash "$root/scripts/setup.sh"
if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q 'install ok installed'; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium
fi
bench=$build/bench
mkdir -p "$bench"
if [ ! -d "$bench/node_modules/playwright-core" ]; then
  (cd "$bench" && npm install --silent --no-audit --no-fund playwright-core >/dev/null)
fi
cp "$root/tests/e2e/bench-bridge.mjs" "$bench/"
bash "$root/scripts/build.sh"

work=$(mktemp -d)
programs=()
cleanup() {
  for pid in "${programs[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a Windows program headless and prints its page address.
start() {
  local name=$1
  shift
  (cd "$build/bin" && exec "$root/scripts/wine.sh" "$build/wine" "$@") >"$work/$name.out" 2>"$work/$name.err" &
  programs+=($!)
  for _ in $(seq 1 300); do
    if [ -s "$work/$name.out" ]; then head -n 1 "$work/$name.out"; return; fi
    sleep 0.1
  done
  echo "bench-bridge: $name printed no address" >&2
  exit 1
}

program_address=$(start program QuillmarkOrvane.exe --headless)
archive_windows="Z:${build//\//\\}\\ui.sar"
callback_address=$(start callbacks callback_bench.exe "$archive_windows")
node "$bench/bench-bridge.mjs" "$program_address" "$callback_address" "$work/profile"
