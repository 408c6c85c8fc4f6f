#!/usr/bin/env bash
# Builds the MSI package of the 32-bit program with msitools' wixl from
# QuillmarkOrvane.wxs.
# usage: make-msi.sh BUILD_DIR VERSION OUTPUT
#   BUILD_DIR  the 32-bit build folder (its bin/ and seed/ hold the shipped files)
#   VERSION    the program's four-field version A.B.C.D
# Windows Installer compares only three fields of a package's version (at most
# 255.255.65535), and a release may raise only the fourth: the package's version
# is A.B.(100*C + D), so that every newer program is a newer package too
# (1.0.0.1 -> 1.0.1, 1.0.0.2 -> 1.0.2, 1.0.1.0 -> 1.0.100).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=$(realpath -m "$1")
output=$(realpath -m "$3")
# wixl 0.101 finds no file by an absolute path, and writes the icons into an
# "Icon" folder where it runs: it runs in a scratch folder beside the output,
# with paths relative to that.
scratch=$(mktemp -d "$output.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
build_dir=$(realpath -m --relative-to=. "$build_dir")
source_dir=$(realpath -m --relative-to=. "$(dirname "$here")")

IFS=. read -r major minor patch tweak rest <<<"$2"
tweak=${tweak:-0}
[[ "$major.$minor.$patch.$tweak" =~ ^[0-9]{1,5}(\.[0-9]{1,5}){3}$ && -z $rest ]] ||
  { echo "make-msi: version '$2' is not A.B.C.D" >&2; exit 1; }
major=$((10#$major)) minor=$((10#$minor)) build=$((10#$patch * 100 + 10#$tweak)) tweak=$((10#$tweak))
if [ "$major" -gt 255 ] || [ "$minor" -gt 255 ] || [ "$tweak" -gt 99 ] || [ "$build" -gt 65535 ]; then
  echo "make-msi: version '$2' has no package version (A, B <= 255; D <= 99; 100*C + D <= 65535)" >&2
  exit 1
fi

# Written aside and moved in: a failed build leaves no package behind.
wixl --arch x86 -D "Version=$major.$minor.$build" \
  -D "BuildDir=$build_dir" -D "SourceDir=$source_dir" \
  -o "$output.part" "$source_dir/installer/QuillmarkOrvane.wxs"
mv -f "$output.part" "$output"
