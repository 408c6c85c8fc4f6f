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
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja --toolchain "$root/cmake/i686-w64-mingw32.cmake"
fi
cmake -S "$root" -B "$build" -DQO_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target QuillmarkOrvane callback_bench

work=$(mktemp -d)
programs=()
cleanup() {
  # The pages close their views; whatever still runs is ended here.
  for pid in "${programs[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a Windows program headless; its page address lands in $work/NAME.out.
start() {
  local name=$1
  shift
  (cd "$build/bin" && exec "$root/scripts/wine.sh" "$build/wine" "$@") >"$work/$name.out" 2>"$work/$name.err" &
  programs+=($!)
}
address_of() {
  for _ in $(seq 1 300); do
    if [ -s "$work/$1.out" ]; then head -n 1 "$work/$1.out"; return; fi
    sleep 0.1
  done
  echo "bench-bridge: $1 printed no address" >&2
  exit 1
}

start program QuillmarkOrvane.exe --headless
start callbacks callback_bench.exe "Z:${build//\//\\}\\ui.sar"
node "$bench/bench-bridge.mjs" "$(address_of program)" "$(address_of callbacks)" "$work/profile"
