#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent; runs as root without a terminal.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

# apt-get source needs deb-src lines for the pinned dependency sources.
src_list=/etc/apt/sources.list.d/quillmark-src.sources
if [ ! -f "$src_list" ]; then
  cat > "$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

# chromium and a font with Chinese letters: the browser tests (tests/e2e);
# wixl and msitools: the MSI package (installer/) and its test.
packages=(
  cmake ninja-build dpkg-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth
  liblzf-dev googletest tcl sqlite3 curl chromium fonts-wqy-microhei
  wixl msitools
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ] || [ "$need_update" = 1 ]; then
  apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Node.js with npm, where the machine has none.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nodejs npm
fi

# Playwright drives Chromium in the browser tests and the bridge benchmark,
# axe-core checks the documents' accessibility there: the packages pinned in
# tests/e2e, installed into the build folder.
root=$(cd "$(dirname "$0")/.." && pwd)
e2e=${QO_BUILD_DIR:-$root/build}/e2e
mkdir -p "$e2e"
if ! cmp -s "$root/tests/e2e/package-lock.json" "$e2e/package-lock.json" ||
   [ ! -f "$e2e/node_modules/playwright-core/package.json" ] || [ ! -f "$e2e/node_modules/axe-core/axe.min.js" ]; then
  cp "$root/tests/e2e/package.json" "$root/tests/e2e/package-lock.json" "$e2e/"
  (cd "$e2e" && npm ci --no-audit --no-fund --silent >/dev/null)
fi
