#!/usr/bin/env bash
# Builds an MSI package of Quillmark Orvane with msitools' wixl from
# QuillmarkOrvane.wxs: the 64-bit package from a 64-bit build, the 32-bit one
# from a 32-bit build.
# usage: make-msi.sh [--sign CERT KEY] ARCH BUILD_DIR VERSION OUTPUT
#   --sign CERT KEY  sign both programs and the package with osslsigncode
#                    (PEM certificate chain and its private key)
#   ARCH       x64 or x86
#   BUILD_DIR  the build folder of that architecture (its bin/ and seed/ hold
#              the shipped files)
#   VERSION    the package's version A.B.C, the programs' being A.B.C.0
#              (Windows Installer compares three fields, at most 255.255.65535)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sign_cert="" sign_key=""
if [ "${1:-}" = --sign ]; then
  sign_cert=$(realpath -m "$2") sign_key=$(realpath -m "$3")
  shift 3
fi
[ $# -eq 4 ] || { echo "usage: make-msi.sh [--sign CERT KEY] x64|x86 BUILD_DIR VERSION OUTPUT" >&2; exit 2; }
arch=$1 build_dir=$(realpath -m "$2") version=$3 output=$(realpath -m "$4")

# The UpgradeCodes never change, or installed copies would no longer be upgraded.
upgrade_code64=C239C632-196A-4F53-ABF6-940D0F8E7496
upgrade_code32=8ABC8C70-F22C-4BB4-A7E0-C50B8282CBE5
case $arch in
  x64) upgrade_code=$upgrade_code64 win64=yes program_files=ProgramFiles64Folder ;;
  x86) upgrade_code=$upgrade_code32 win64=no program_files=ProgramFilesFolder ;;
  *) echo "make-msi: architecture '$arch' is neither x64 nor x86" >&2; exit 2 ;;
esac

[[ $version =~ ^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,5})$ ]] &&
  [ "$((10#${BASH_REMATCH[1]}))" -le 255 ] && [ "$((10#${BASH_REMATCH[2]}))" -le 255 ] &&
  [ "$((10#${BASH_REMATCH[3]}))" -le 65535 ] ||
  { echo "make-msi: version '$version' is not A.B.C (A, B <= 255; C <= 65535)" >&2; exit 1; }
version=$((10#${BASH_REMATCH[1]})).$((10#${BASH_REMATCH[2]})).$((10#${BASH_REMATCH[3]}))
product_code=$(cmake -DUPGRADE_CODE="$upgrade_code" -DVERSION="$version" -P "$here/product-code.cmake")

# wixl 0.101 finds no file by an absolute path, and writes the icons into an
# "Icon" folder where it runs: it runs in a scratch folder beside the output,
# with paths relative to that.
scratch=$(mktemp -d "$output.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
source_dir=$(realpath -m --relative-to=. "$(dirname "$here")")
program_dir=$(realpath -m --relative-to=. "$build_dir/bin")

# Signed copies of the programs go into the package; the build's own stay as built.
sign() {  # sign INPUT OUTPUT
  osslsigncode sign -certs "$sign_cert" -key "$sign_key" -h sha256 -n "Quillmark Orvane" \
    -in "$1" -out "$2" >/dev/null
}
if [ -n "$sign_cert" ]; then
  mkdir programs
  for name in QuillmarkOrvane.exe orvane.exe; do sign "$build_dir/bin/$name" "programs/$name"; done
  program_dir=programs
fi

# Written aside and moved in: a failed build leaves no package behind.
wixl --arch "$arch" -D "Arch=$arch" -D "Version=$version" -D "ProductCode=$product_code" \
  -D "UpgradeCode=$upgrade_code" -D "UpgradeCode64=$upgrade_code64" -D "UpgradeCode32=$upgrade_code32" \
  -D "Win64=$win64" -D "ProgramFiles=$program_files" -D "ProgramDir=$program_dir" \
  -D "BuildDir=$(realpath -m --relative-to=. "$build_dir")" -D "SourceDir=$source_dir" \
  -o package.msi "$source_dir/installer/QuillmarkOrvane.wxs"
# What wixl cannot write, for the 64-bit package's record of a replaced 32-bit
# install (QuillmarkOrvane.wxs, ReplacedInstall): AppSearch sets
# QO_PACKAGE32_DIR to the folder of the installed 32-bit program, found by the
# ComponentId that every 32-bit package from 1.0.x on has given it (wixl
# derives it from the key path's folder and name); the record is installed
# only when there is such a folder.
if [ "$arch" = x64 ]; then
  printf 'Signature_\tComponentId\tType\r\ns72\ts38\tI2\r\nCompLocator\tSignature_\r\n%s\t%s\t1\r\n' \
    Package32Program '{C007CAC7-5FD8-5A94-8959-B3E12C6EA8B9}' >CompLocator.idt
  msibuild package.msi -i CompLocator.idt \
    -q "INSERT INTO \`AppSearch\` (\`Property\`, \`Signature_\`) VALUES ('QO_PACKAGE32_DIR', 'Package32Program')" \
    -q "UPDATE \`Component\` SET \`Condition\` = 'QO_LEGACY_DIR' WHERE \`Component\` = 'ReplacedInstall'"
fi
if [ -n "$sign_cert" ]; then
  sign package.msi signed.msi
  mv -f signed.msi package.msi
fi
mv -f package.msi "$output"
