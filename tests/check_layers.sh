#!/usr/bin/env bash
# Keeps the layers of src/ true: a file includes only its own folder and the
# folders of lower layers, and prints every include that reaches up or
# sideways. Writes the outcome as a test report.
# usage: check_layers.sh SOURCE_DIR
set -euo pipefail
. "$(dirname "$0")/junit_report.sh"
src=$1

# Lowest first; folders of one layer do not include each other.
layers=(
  "common"
  "engine"
  "db"
  "core"
  "junk registry disk startup services"
  "suite"
  "app cli tools"
)
# The subsystems' includes of one another that the code needs: the disk
# pages are built on the junk cleaner's file lists, walks, protected folders
# and JSON rows, and a Downloads restore reports as a registry restore does;
# the registry issue lists are rows of the result list that the junk
# cleaner owns, whose table of kinds names them and whose clean run holds the
# registry backup. The table of category ids and the policy over them live
# with the junk cleaner (its result list holds both cleaners' categories);
# the registry and system-disk scans and cleans ask them too.
allowed=(
  "disk junk/category_policy.h"
  "disk junk/folder_walk.h"
  "disk junk/json_text.h"
  "disk junk/junk_categories.h"
  "disk junk/junk_clean.h"
  "disk junk/junk_lists.h"
  "disk junk/protected_folders.h"
  "disk junk/result_rows.h"
  "disk registry/registry_restore.h"
  "junk registry/registry_backup.h"
  "junk registry/registry_rows.h"
  "registry junk/category_policy.h"
  "registry junk/result_kinds.h"
)

declare -A rank
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do rank[$folder]=$i; done
done

failures=()
while IFS= read -r hit; do
  file=${hit%%:*}
  [[ ${hit#*:} =~ include[[:space:]]*\"([^\"]*)\" ]] || continue
  included=${BASH_REMATCH[1]}
  from=${file#"$src"/}
  from=${from%%/*}
  to=${included%%/*}
  [ "$included" != "$to" ] || continue  # a header of a library or of the same folder
  [ "$from" != "$to" ] || continue
  if [ -z "${rank[$from]:-}" ]; then
    failures+=("$hit  (folder $from has no layer)")
  elif [ -z "${rank[$to]:-}" ]; then
    failures+=("$hit  (folder $to has no layer)")
  elif [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    failures+=("$hit  ($from may not include the layer above it)")
  elif [ "${rank[$to]}" -eq "${rank[$from]}" ] && [[ ! " ${allowed[*]/%/|} " == *" $from $included|"* ]]; then
    failures+=("$hit  ($from may not include $to)")
  fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$src" \
           --include='*.h' --include='*.cpp' --include='*.rc' --include='*.in' || true)

if [ ${#failures[@]} -eq 0 ]; then
  junit_report layers Layers IncludesFollowLayers
  exit 0
fi
echo "includes against the layers of $src:"
printf '%s\n' "${failures[@]}"
junit_report layers Layers IncludesFollowLayers "${#failures[@]} includes against the layers"
exit 1
