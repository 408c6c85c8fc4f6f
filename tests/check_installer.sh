#!/usr/bin/env bash
# The MSI package: its tables and versions, then, under Wine in a prefix made
# afresh for this test, an install, an upgrade by a newer package, the refusal
# of an older one, and an uninstall that leaves the user's data, beside the
# program and in the data stores. Each step
# writes a report of its own; a step after a failed install is not run.
# usage: check_installer.sh SOURCE_FOLDER PRODUCT_BUILD_FOLDER MSI VERSION WINE_ROOT
#   PRODUCT_BUILD_FOLDER  the 32-bit build the package was made from
#   VERSION               the program's version, A.B.C.D
set -uo pipefail
root=$1 product=$2 msi=$(realpath -m "$3") version=$4 wine_root=$(realpath -m "$5")
work=$wine_root/work  # packages and logs
rm -rf "$wine_root" && mkdir -p "$work"
. "$root/tests/junit_report.sh"
make_msi=$root/installer/make-msi.sh
upgrade_code='{8ABC8C70-F22C-4BB4-A7E0-C50B8282CBE5}'
status=0
newer_found=""  # the property that the Upgrade table sets when a newer version is installed

# One step: run it, report what it found wrong.
problems=()
problem() { problems+=("$*"); }
step() {  # step REPORT_NAME CASE_NAME FUNCTION
  problems=()
  "$3"
  if [ "${#problems[@]}" -eq 0 ]; then
    echo "passed: $2"
    junit_report "$1" Installer "$2"
    return 0
  fi
  status=1
  printf "failed: $2: %s\n" "${problems[@]}"
  junit_report "$1" Installer "$2" "${problems[*]}"
  return 1
}
not_run() { status=1; junit_report "$1" Installer "$2" "not run: $3"; echo "not run: $2"; }

# The rows of a table, tab-separated, without the header lines (msiinfo
# writes a table's binary data into a folder where it runs).
rows() { (cd "$work" && msiinfo export "$1" "$2") | tail -n +4 | tr -d '\r'; }
property() { rows "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
[ -f "$msi" ] || { echo "no package at $msi: build the 32-bit program first (bash scripts/build.sh)"; exit 1; }
product_code=$(property "$msi" ProductCode)
product_version=$(property "$msi" ProductVersion)

tables() {
  msiinfo suminfo "$msi" | grep -qx 'Template: Intel;1033' || problem "not a 32-bit package"
  local name expected
  for name in "ProductName=Quillmark Orvane" "Manufacturer=Quillmark" "ALLUSERS=1" "ARPNOMODIFY=1"; do
    expected=${name#*=}
    [ "$(property "$msi" "${name%%=*}")" = "$expected" ] || problem "Property ${name%%=*} is not '$expected'"
  done
  # The UpgradeCode never changes: installed copies would no longer be upgraded.
  [ "${upgrade_code,,}" = "$(property "$msi" UpgradeCode | tr A-Z a-z)" ] || problem "the UpgradeCode changed"
  local icon
  icon=$(property "$msi" ARPPRODUCTICON)
  rows "$msi" Icon | cut -f1 | grep -qx "${icon:-none}" || problem "ARPPRODUCTICON '$icon' is not in the Icon table"

  # Not advertised: the target is the installed file, not a feature.
  [ "$(rows "$msi" Shortcut | cut -f2,3,5,12)" = $'ProgramMenuFolder\tQuillmark Orvane\t[#QuillmarkOrvane.exe]\tINSTALLDIR' ] ||
    problem "the Start-menu shortcut is not the one to [#QuillmarkOrvane.exe] in INSTALLDIR: $(rows "$msi" Shortcut)"

  # Older packages are upgraded (found and removed), newer ones only detected,
  # and a detected newer one stops the install with a message.
  local upgrade older
  upgrade=$(rows "$msi" Upgrade)
  older=$(awk -F'\t' -v c="$upgrade_code" -v v="$product_version" \
    'toupper($1) == c && $2 == "" && $3 == v && int($5 / 2) % 2 == 0 { print $7 }' <<<"$upgrade")
  newer_found=$(awk -F'\t' -v c="$upgrade_code" -v v="$product_version" \
    'toupper($1) == c && $2 == v && $3 == "" && int($5 / 2) % 2 == 1 && int($5 / 256) % 2 == 0 { print $7 }' <<<"$upgrade")
  [ -n "$older" ] || problem "no Upgrade row removes older versions: $upgrade"
  [ -n "$newer_found" ] || problem "no Upgrade row detects newer versions: $upgrade"
  rows "$msi" LaunchCondition | grep -qxF "NOT ${newer_found:-?}"$'\tA newer version of Quillmark Orvane is already installed.' ||
    problem "no launch condition refuses a newer installed version"
  rows "$msi" InstallExecuteSequence | grep -q '^RemoveExistingProducts' || problem "RemoveExistingProducts is not sequenced"

  [ "$(rows "$msi" Directory | awk -F'\t' '$1 == "INSTALLDIR" { print $2 "\t" $3 }')" = $'ProgramFilesFolder\tQuillmark Orvane' ] ||
    problem "INSTALLDIR is not ProgramFilesFolder\\Quillmark Orvane"
  local files
  files=$(rows "$msi" File | cut -f3 | sort | tr '\n' ' ')
  for name in QuillmarkOrvane.exe orvane.exe Orvaneupdatecfg.ini newupdate.db Icon.ico; do
    [[ " $files" == *" $name "* ]] || problem "the package lacks $name"
  done
  # Nothing but the package's own files is ever removed.
  [ -z "$(rows "$msi" RemoveFile)" ] || problem "the RemoveFile table is not empty"
}

# The package's version for a program version, or "refused".
versions() {
  local case program expected answer
  for case in 1.0.0.1=1.0.1 1.0.0.2=1.0.2 1.0.1.0=1.0.100 2.3.654.99=2.3.65499 255.255.655.35=255.255.65535 \
      1.2.3=1.2.300 1.0.0.100=refused 256.0.0.0=refused 1.0.655.36=refused 1.0.0.1.5=refused 1.0.x.1=refused; do
    program=${case%=*} expected=${case#*=}
    rm -f "$work/version.msi"
    if "$make_msi" "$product" "$program" "$work/version.msi" 2>/dev/null; then
      answer=$(property "$work/version.msi" ProductVersion)
    else
      answer=refused
    fi
    [ "$answer" = "$expected" ] || problem "version $program made '$answer', not '$expected'"
  done
}

# Under Wine.
run_msiexec() {  # run_msiexec /i|/x PACKAGE LOG
  local rc=0
  wine msiexec "$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$3")" >/dev/null 2>&1 || rc=$?
  wineserver -w
  return "$rc"
}
logged_property() { tr -d '\r' <"$1" | sed -n "s/^Property(S): $2 = //p" | tail -n 1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# An uninstall entry's value, as a 32-bit program reads it.
arp_value() { wine reg query "$uninstall_key\\$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
# The ProductCode as Windows Installer writes it into its keys.
# (the first three groups reversed, then each pair of digits swapped).
packed() {
  local hex=${1//[\{\}-]/} out="" i
  for ((i = 7; i >= 0; i--)); do out+=${hex:$i:1}; done
  for ((i = 11; i >= 8; i--)); do out+=${hex:$i:1}; done
  for ((i = 15; i >= 12; i--)); do out+=${hex:$i:1}; done
  for ((i = 16; i < 32; i += 2)); do out+=${hex:$((i + 1)):1}${hex:$i:1}; done
  echo "$out"
}
arp_entries() { wine reg query "$uninstall_key" /s /reg:32 2>/dev/null | tr -d '\r' | grep -c '^ *DisplayName *REG_SZ *Quillmark Orvane$'; }

# Every file of the package's File table is in the program folder, with its size.
check_files_installed() {
  local file name size
  while IFS=$'\t' read -r file _ name size _; do
    name=${name#*|}
    [ "$(stat -c %s "$folder/$name" 2>/dev/null)" = "$size" ] || problem "$name is not installed with $size bytes"
  done < <(rows "$1" File)
}
check_user_data() {
  local name
  for name in "${!user_data[@]}"; do
    [ "$(cat "$folder/$name" 2>/dev/null)" = "${user_data[$name]}" ] || problem "the user's $name was not kept"
  done
  for name in "${!store_data[@]}"; do
    [ "$(cat "$name" 2>/dev/null)" = "${store_data[$name]}" ] || problem "the data store's $name was not kept"
  done
}
check_entry() {  # check_entry PRODUCT_CODE PRODUCT_VERSION
  [ "$(arp_value "$1" DisplayName)" = "Quillmark Orvane" ] || problem "no uninstall entry named Quillmark Orvane for $1"
  [ "$(arp_value "$1" DisplayVersion)" = "$2" ] || problem "the uninstall entry's version is not $2"
  [ "$(arp_value "$1" Publisher)" = "Quillmark" ] || problem "the uninstall entry's publisher is not Quillmark"
  [ "$(arp_entries)" = 1 ] || problem "$(arp_entries) uninstall entries named Quillmark Orvane"
}

install() {
  run_msiexec /i "$msi" "$work/install.log" || { problem "msiexec /i answered $?"; return; }
  [ "$(logged_property "$work/install.log" INSTALLDIR)" = 'C:\Program Files (x86)\Quillmark Orvane\' ] ||
    problem "installed into '$(logged_property "$work/install.log" INSTALLDIR)'"
  check_files_installed "$msi"
  cmp -s "$folder/QuillmarkOrvane.exe" "$product/bin/QuillmarkOrvane.exe" || problem "the installed program is not the build's"
  cmp -s "$folder/orvane.exe" "$product/bin/orvane.exe" || problem "the installed command line is not the build's"

  # Wine puts a per-machine package's shortcuts into the installing user's
  # Start menu: the shortcut is looked for where msiexec put it.
  local programs
  programs=$(winepath -u "$(logged_property "$work/install.log" ProgramMenuFolder)")
  shortcut=$programs/Quillmark\ Orvane.lnk
  if [ ! -f "$shortcut" ]; then
    problem "no shortcut in $programs"
  else
    strings -a "$shortcut" | grep -qxF 'C:\Program Files (x86)\Quillmark Orvane\QuillmarkOrvane.exe' ||
      problem "the shortcut does not start the installed program"
    strings -a -el "$shortcut" | grep -qF 'C:\Program Files (x86)\Quillmark Orvane\' ||
      problem "the shortcut does not start in the program folder"
  fi

  check_entry "$product_code" "$product_version"
  arp_value "$product_code" UninstallString | grep -qiF "/X$product_code" || problem "the uninstall entry cannot uninstall"
  local icon
  icon=$(wine reg query "HKCR\\Installer\\Products\\$(packed "$product_code")" /v ProductIcon 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *ProductIcon *REG_SZ *//p')
  cmp -s "$(winepath -u "${icon:-C:\\none}")" "$root/src/ui/icon.ico" || problem "the uninstall entry's icon is not the program's: '$icon'"

  # What the program makes beside itself; and it has imported and deleted its seed.
  local name
  mkdir -p "$folder/Backups"
  for name in "${!user_data[@]}"; do printf '%s' "${user_data[$name]}" >"$folder/$name"; done
  rm -f "$folder/newupdate.db"
  # And what it keeps in its data stores, which no package removes.
  local machine_store user_store
  machine_store=$(winepath -u 'C:\ProgramData')/Quillmark/Orvane
  user_store=$(winepath -u "$(wine cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')")/Quillmark/Orvane
  store_data=(["$machine_store/mydatabase.db"]="the machine's database" ["$machine_store/Orvane.log"]="log"
    ["$user_store/mydatabase.db"]="the account's database" ["$user_store/config.ini"]=$'[LOG]\nLEVEL=1')
  for name in "${!store_data[@]}"; do
    mkdir -p "$(dirname "$name")" && printf '%s' "${store_data[$name]}" >"$name"
  done
}

upgrade() {
  local a b c d newer
  IFS=. read -r a b c d <<<"$version"
  d=${d:-0}
  if [ "$d" -lt 99 ]; then newer=$a.$b.$c.$((d + 1)); else newer=$a.$b.$((c + 1)).0; fi
  "$make_msi" "$product" "$newer" "$work/newer.msi" || { problem "cannot build a package of $newer"; return; }
  newer_code=$(property "$work/newer.msi" ProductCode)
  newer_version=$(property "$work/newer.msi" ProductVersion)
  run_msiexec /i "$work/newer.msi" "$work/upgrade.log" || { problem "msiexec /i of $newer answered $?"; return; }
  [ -z "$(arp_value "$product_code" DisplayName)" ] || problem "the older product is still installed"
  check_entry "$newer_code" "$newer_version"
  check_files_installed "$work/newer.msi"
  [ -f "$shortcut" ] || problem "the shortcut is gone"
  check_user_data
}

downgrade() {
  local rc=0
  run_msiexec /i "$msi" "$work/downgrade.log" || rc=$?
  [ "$rc" != 0 ] || problem "the older package was installed"
  # Refused by the launch condition whose message the tables hold (Wine shows
  # it only with a user interface and does not log it).
  [ "$(logged_property "$work/downgrade.log" "${newer_found:-?}")" = "$newer_code" ] ||
    problem "the newer product was not detected"
  grep -q 'LaunchConditions\. Return value [^1]' "$work/downgrade.log" || problem "the launch conditions did not refuse"
  [ -z "$(arp_value "$product_code" DisplayName)" ] || problem "the older product was registered"
  check_entry "$newer_code" "$newer_version"
  check_files_installed "$work/newer.msi"
  check_user_data
}

uninstall() {
  run_msiexec /x "$work/newer.msi" "$work/uninstall.log" || { problem "msiexec /x answered $?"; return; }
  local file name
  while IFS=$'\t' read -r file _ name _; do
    [ ! -e "$folder/${name#*|}" ] || problem "${name#*|} was left installed"
  done < <(rows "$work/newer.msi" File)
  [ ! -e "$shortcut" ] || problem "the shortcut was left"
  [ -z "$(arp_value "$newer_code" DisplayName)" ] || problem "the uninstall entry was left"
  [ "$(arp_entries)" = 0 ] || problem "an uninstall entry named Quillmark Orvane was left"
  check_user_data
  local left
  left=$(cd "$folder" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
  [ "$left" = "$(printf '%s\n' "${!user_data[@]}" | sort | tr '\n' ' ')" ] || problem "the program folder holds: $left"
}

step installer_tables PackageTables tables
step installer_versions PackageVersions versions

# A prefix of this test's own, made afresh (scripts/wine-env.sh), without the
# menu entries Wine would make on the Linux side for the shortcut.
. "$root/scripts/wine-env.sh" "$wine_root"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
folder="$WINEPREFIX/drive_c/Program Files (x86)/Quillmark Orvane"
declare -A user_data=([mydatabase.db]="the user's database" [Backups/x.reg]="Windows Registry Editor Version 5.00"
  [Orvane.log]="log" [Orvane_1.log]="older log" [config.ini]=$'[LOG]\nLEVEL=1')
declare -A store_data=()  # the data stores' files, by their Linux paths (made by install)
shortcut="" newer_code="" newer_version=""

if step installer_install InstallPerMachine install; then
  step installer_upgrade NewerPackageUpgradesInPlace upgrade
  step installer_downgrade OlderPackageRefused downgrade
  step installer_uninstall UninstallKeepsUserData uninstall
else
  for name in installer_upgrade:NewerPackageUpgradesInPlace installer_downgrade:OlderPackageRefused \
      installer_uninstall:UninstallKeepsUserData; do
    not_run "${name%%:*}" "${name#*:}" "the install failed"
  done
fi
wineserver -k 2>/dev/null
# The prefix is large; it stays only to look at a failure.
[ "$status" != 0 ] || rm -rf "$wine_root"
exit "$status"
