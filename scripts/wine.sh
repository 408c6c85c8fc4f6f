#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix of a build folder.
# usage: wine.sh WINE_ROOT PROGRAM [ARGUMENTS...]
set -euo pipefail
. "$(dirname "$0")/wine-env.sh" "$1"
shift
exec wine "$@"
