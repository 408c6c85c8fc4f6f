#!/usr/bin/env bash
# The MSI packages: their tables, versions, policy templates and signatures,
# then, under Wine in a prefix made afresh for this test, the 64-bit package
# installed into a chosen folder, upgraded without naming it, a rebuild of the
# same version and an older package refused, and uninstalled; the 32-bit
# package installed, upgraded into a folder named on the command line and
# uninstalled (its programs never run here: msiexec only copies them); and
# the switch from the 32-bit package to the 64-bit one. Each step writes a
# report of its own; a step after a failed install is not run.
# usage: check_installer.sh SOURCE_FOLDER BUILD64 BUILD32 VERSION WINE_ROOT
#   BUILD64, BUILD32  the 64-bit and the 32-bit build the packages were made from
#   VERSION           the package version, A.B.C
set -uo pipefail
root=$1 build64=$(realpath -m "$2") build32=$(realpath -m "$3") version=$4 wine_root=$(realpath -m "$5")
work=$wine_root/work  # packages and logs
rm -rf "$wine_root" && mkdir -p "$work"
. "$root/tests/junit_report.sh"
make_msi=$root/installer/make-msi.sh
msi64=$build64/QuillmarkOrvane-$version-x64.msi
msi32=$build32/QuillmarkOrvane-$version-x86.msi
declare -A build=([x64]=$build64 [x86]=$build32)
declare -A upgrade_code=([x64]='{C239C632-196A-4F53-ABF6-940D0F8E7496}' [x86]='{8ABC8C70-F22C-4BB4-A7E0-C50B8282CBE5}')
IFS=. read -r major minor patch <<<"$version"
newer=$major.$minor.$((patch + 1)) newest=$major.$minor.$((patch + 2))
status=0

# One step: run it, report what it found wrong.
problems=()
problem() { problems+=("$*"); }
step() {  # step REPORT_NAME CASE_NAME FUNCTION [ARGUMENT...]
  problems=()
  "${@:3}"
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
for package in "$msi64" "$msi32"; do
  [ -f "$package" ] || { echo "no package at $package: build both programs first (bash scripts/test.sh)"; exit 1; }
done

# The rows of a table, tab-separated, without the header lines (msiinfo
# writes a table's binary data into a folder where it runs).
rows() { (cd "$work" && msiinfo export "$1" "$2") | tail -n +4 | tr -d '\r'; }
property() { rows "$1" Property | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
sequence() { rows "$1" InstallExecuteSequence | awk -F'\t' -v a="$2" '$1 == a { print $3 }'; }
# The name-based (SHA-1) UUID of NAME in the namespace UUID, written here
# afresh to check the ProductCode that make-msi.sh derives with CMake.
uuid5() {  # uuid5 NAMESPACE NAME
  local ns=${1//[\{\}-]/} hash
  hash=$( { printf "$(sed 's/../\\x&/g' <<<"$ns")"; printf '%s' "$2"; } | sha1sum | cut -c1-32)
  hash=${hash:0:12}5${hash:13:3}$(printf '%x' $(( (16#${hash:16:1} & 3) | 8 )))${hash:17}
  hash=${hash^^}
  echo "{${hash:0:8}-${hash:8:4}-${hash:12:4}-${hash:16:4}-${hash:20}}"
}

tables() {  # tables PACKAGE ARCH
  local msi=$1 arch=$2 name expected
  local -A template=([x64]='x64;1033' [x86]='Intel;1033') folder=([x64]=ProgramFiles64Folder [x86]=ProgramFilesFolder)
  msiinfo suminfo "$msi" | grep -qx "Template: ${template[$arch]}" || problem "$arch: the template is not ${template[$arch]}"
  for name in "ProductName=Quillmark Orvane" "Manufacturer=Quillmark" "ALLUSERS=1" "ARPNOMODIFY=1" "ARPNOREPAIR=1" \
      "ARPURLINFOABOUT=https://www.quillmark.example/products/orvane/" "ProductVersion=$version"; do
    expected=${name#*=}
    [ "$(property "$msi" "${name%%=*}")" = "$expected" ] || problem "$arch: Property ${name%%=*} is not '$expected'"
  done
  # The UpgradeCode never changes (installed copies would no longer be
  # upgraded); the ProductCode follows from it and the version.
  local code=${upgrade_code[$arch]} product_code
  [ "$code" = "$(property "$msi" UpgradeCode | tr a-z A-Z)" ] || problem "$arch: the UpgradeCode changed"
  product_code=$(property "$msi" ProductCode)
  [ "$product_code" = "$(uuid5 "$code" "$version")" ] || problem "$arch: the ProductCode $product_code is not derived from the UpgradeCode and $version"
  local icon
  icon=$(property "$msi" ARPPRODUCTICON)
  rows "$msi" Icon | cut -f1 | grep -qx "${icon:-none}" || problem "$arch: ARPPRODUCTICON '$icon' is not in the Icon table"

  # Not advertised: the target is the installed file, not a feature.
  [ "$(rows "$msi" Shortcut | cut -f2,3,5,12)" = $'ProgramMenuFolder\tQuillmark Orvane\t[#QuillmarkOrvane.exe]\tINSTALLDIR' ] ||
    problem "$arch: the Start-menu shortcut is not the one to [#QuillmarkOrvane.exe] in INSTALLDIR: $(rows "$msi" Shortcut)"

  # Older packages are upgraded (found and removed), newer ones only detected,
  # and a detected newer one stops the install with a message. Same-version
  # packages are neither: their one ProductCode makes Windows Installer refuse them.
  local upgrade older newer_found
  upgrade=$(rows "$msi" Upgrade)
  older=$(awk -F'\t' -v c="$code" -v v="$version" \
    'toupper($1) == c && $2 == "" && $3 == v && int($5 / 2) % 2 == 0 && int($5 / 512) % 2 == 0 { print $7 }' <<<"$upgrade")
  newer_found=$(awk -F'\t' -v c="$code" -v v="$version" \
    'toupper($1) == c && $2 == v && $3 == "" && int($5 / 2) % 2 == 1 && int($5 / 256) % 2 == 0 { print $7 }' <<<"$upgrade")
  [ -n "$older" ] || problem "$arch: no Upgrade row removes older versions: $upgrade"
  [ -n "$newer_found" ] || problem "$arch: no Upgrade row detects newer versions: $upgrade"
  rows "$msi" LaunchCondition | grep -qxF "NOT ${newer_found:-?}"$'\tA newer version of Quillmark Orvane is already installed.' ||
    problem "$arch: no launch condition refuses a newer installed version"
  # The 64-bit package removes any 32-bit one; the 32-bit one refuses to go beside it.
  local found
  if [ "$arch" = x64 ]; then
    found=$(awk -F'\t' -v c="${upgrade_code[x86]}" '$1 == c && $3 == "" && int($5 / 2) % 2 == 0 { print $7 }' <<<"$upgrade")
    [ -n "$found" ] || problem "x64: no Upgrade row removes every 32-bit package: $upgrade"
  else
    found=$(awk -F'\t' -v c="${upgrade_code[x64]}" '$1 == c && $3 == "" && int($5 / 2) % 2 == 1 { print $7 }' <<<"$upgrade")
    rows "$msi" LaunchCondition | grep -qxF "NOT ${found:-?}"$'\tThe 64-bit Quillmark Orvane is installed.' ||
      problem "x86: no launch condition refuses to install beside the 64-bit package: $upgrade"
  fi
  # The 64-bit package records where an installed 32-bit one is, found by
  # the component of the 32-bit program, before removing it.
  if [ "$arch" = x64 ]; then
    local program32
    program32=$(rows "$msi32" Component | awk -F'\t' '$1 == "Program" { print $2 }')
    [ "$(rows "$msi" AppSearch | grep -P '^QO_PACKAGE32_DIR\t' | cut -f2)" = Package32Program ] &&
      [ "$(rows "$msi" CompLocator | grep -P '^Package32Program\t' | cut -f2,3)" = "${program32:-?}"$'\t1' ] ||
      problem "x64: no AppSearch finds the folder of the 32-bit program's component $program32"
    local component
    component=$(rows "$msi" Component | awk -F'\t' '$1 == "ReplacedInstall" { print $5 "\t" $6 }')
    [ "$(rows "$msi" Registry | awk -F'\t' -v k="${component#*$'\t'}" '$1 == k { print $2 "\t" $3 "\t" $4 "\t" $5 }')" = \
      $'2\tSOFTWARE\\Quillmark\\Orvane\tLegacyDir\t[QO_LEGACY_DIR]' ] && [ "${component%%$'\t'*}" = QO_LEGACY_DIR ] ||
      problem "x64: LegacyDir is not recorded under the condition QO_LEGACY_DIR: $component"
    [ "$(sequence "$msi" UsePackage32Dir)" -lt "$(sequence "$msi" CostFinalize)" ] 2>/dev/null ||
      problem "x64: the 32-bit folder is not taken before CostFinalize"
  fi
  # The old product goes inside the installation's transaction, so a failed
  # upgrade rolls back to it.
  local remove initialize
  remove=$(sequence "$msi" RemoveExistingProducts) initialize=$(sequence "$msi" InstallInitialize)
  [ -n "$remove" ] && [ -n "$initialize" ] && [ "$remove" -gt "$initialize" ] && [ "$remove" -lt "$(sequence "$msi" InstallFiles)" ] ||
    problem "$arch: RemoveExistingProducts ($remove) is not between InstallInitialize ($initialize) and InstallFiles"

  [ "$(rows "$msi" Directory | awk -F'\t' '$1 == "INSTALLDIR" { print $2 "\t" $3 }')" = "${folder[$arch]}"$'\tQuillmark Orvane' ] ||
    problem "$arch: INSTALLDIR is not ${folder[$arch]}\\Quillmark Orvane"
  local files
  files=$(rows "$msi" File | cut -f3 | sort | tr '\n' ' ')
  for name in QuillmarkOrvane.exe orvane.exe Orvaneupdatecfg.ini newupdate.db Icon.ico QuillmarkOrvane.admx QuillmarkOrvane.adml; do
    [[ " $files" == *" $name "* ]] || problem "$arch: the package lacks $name"
  done
  # Every component is of the package's architecture; none has as key path a
  # file the program deletes (it would be "repaired" back).
  local component attributes key_path
  while IFS=$'\t' read -r component _ _ attributes _ key_path; do
    [ "$(( (attributes & 256) != 0 ))" = "$([ "$arch" = x64 ] && echo 1 || echo 0)" ] ||
      problem "$arch: component $component is not of the package's architecture"
    [ "$key_path" != newupdate.db ] || problem "$arch: newupdate.db, which the program deletes, is the key path of $component"
  done < <(rows "$msi" Component)
  # Nothing but the package's own files is ever removed.
  [ -z "$(rows "$msi" RemoveFile)" ] || problem "$arch: the RemoveFile table is not empty"
}

# A program's fixed version (VS_FIXEDFILEINFO, after its signature 0xFEEF04BD).
file_version() {
  local offset most_low most_high least_low least_high
  offset=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$1" | head -n 1 | cut -d: -f1)
  [ -n "$offset" ] || return
  read -r most_low most_high least_low least_high < <(od -An -tu2 -j $((offset + 8)) -N 8 "$1")
  echo "$most_high.$most_low.$least_high.$least_low"
}
# The programs of both builds are A.B.C.0 of the package's A.B.C.
program_versions() {
  local folder name
  for folder in "$build64" "$build32"; do
    for name in QuillmarkOrvane.exe orvane.exe; do
      [ "$(file_version "$folder/bin/$name")" = "$version.0" ] ||
        problem "$folder/bin/$name is version '$(file_version "$folder/bin/$name")', not $version.0"
      strings -a -el "$folder/bin/$name" | grep -A1 -x 'ProductVersion' | tail -n 1 | grep -qx "$version" ||
        problem "$folder/bin/$name does not show the product version $version"
    done
  done
}

# The package's version for a project version, or "refused".
versions() {
  local case program expected answer
  for case in 1.1.0=1.1.0 2.3.654=2.3.654 255.255.65535=255.255.65535 01.02.003=1.2.3 \
      256.0.0=refused 1.256.0=refused 1.0.65536=refused 1.0.0.1=refused 1.0=refused 1.0.x=refused; do
    program=${case%=*} expected=${case#*=}
    rm -f "$work/version.msi"
    if "$make_msi" x64 "$build64" "$program" "$work/version.msi" 2>/dev/null; then
      answer=$(property "$work/version.msi" ProductVersion)
    else
      answer=refused
    fi
    [ "$answer" = "$expected" ] || problem "version $program made '$answer', not '$expected'"
    [ "$answer" = refused ] || [ ! -e "$work/version.msi.part" ] || problem "version $program left a part file"
  done
}

# The Group Policy templates: well-formed, every text and presentation the
# ADMX names is in the ADML, and the values are the ones the program reads.
policy_templates() {
  local admx=$root/installer/policy/QuillmarkOrvane.admx adml=$root/installer/policy/en-US/QuillmarkOrvane.adml
  xmllint --noout "$admx" "$adml" 2>/dev/null || { problem "the templates are not well-formed XML"; return; }
  local -a names
  local name kind id
  mapfile -t names < <(grep -o '\$([a-z]*\.[A-Za-z0-9_]*)' "$admx" | sort -u)
  [ "${#names[@]}" -gt 0 ] || problem "the ADMX names no texts"
  for name in "${names[@]}"; do
    kind=${name#\$(} kind=${kind%%.*} id=${name#*.} id=${id%)}
    [ "$(xmllint --xpath "count(//*[local-name()='$kind'][@id='$id'])" "$adml")" = 1 ] ||
      problem "the ADML has no $kind '$id'"
  done
  for id in $(xmllint --xpath "//*[local-name()='elements']/*/@id" "$admx" 2>/dev/null | sed 's/ id="\([^"]*\)"/\1 /g'); do
    [ "$(xmllint --xpath "count(//*[local-name()='presentation']/*[@refId='$id'])" "$adml")" = 1 ] ||
      problem "the ADML presents no element '$id'"
  done
  local key='SOFTWARE\Policies\Quillmark\Orvane'
  policy() { xmllint --xpath "$1" "$admx" 2>/dev/null; }
  [ "$(policy "string(//*[@name='DisabledCategories']/@key)")" = "$key" ] &&
    [ "$(policy "string(//*[@name='DisabledCategories']//*[local-name()='multiText']/@valueName)")" = DisabledCategories ] ||
    problem "DisabledCategories is not a REG_MULTI_SZ value under $key"
  [ "$(policy "string(//*[@name='KeepList']//*[local-name()='list']/@key)")" = "$key\\KeepList" ] &&
    [ "$(policy "string(//*[@name='KeepList']//*[local-name()='list']/@explicitValue)")" = true ] ||
    problem "KeepList is not a list of values of any name in $key\\KeepList"
  [ "$(policy "concat(//*[@name='UpdateNotice']/@key, '|', //*[@name='UpdateNotice']/@valueName, '|',
      //*[@name='UpdateNotice']/*[local-name()='enabledValue']/*[local-name()='decimal']/@value, '|',
      //*[@name='UpdateNotice']/*[local-name()='disabledValue']/*[local-name()='decimal']/@value)")" = "$key|UpdateNotice|1|0" ] ||
    problem "UpdateNotice is not a DWORD under $key, 0 when disabled"
  [ "$(policy "count(//*[local-name()='policy'][@class!='Machine'])")" = 0 ] || problem "a policy is not the machine's"
}

# A package built with a throw-away certificate: the package and both
# programs in it verify against the throw-away CA (no timestamp), and not
# against another CA.
signatures() {
  local keys=$work/keys
  mkdir -p "$keys"
  local ca
  for ca in ca other_ca; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/$ca.key" -out "$keys/$ca.pem" -days 2 -subj "/CN=Throw-away $ca" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null ||
      { problem "openssl cannot make a CA"; return; }
  done
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$keys/signing.cnf"
  openssl req -newkey rsa:2048 -nodes -keyout "$keys/signing.key" -out "$keys/signing.csr" -subj "/CN=Throw-away signer" 2>/dev/null &&
    openssl x509 -req -in "$keys/signing.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
      -extfile "$keys/signing.cnf" -out "$keys/signing.pem" 2>/dev/null ||
    { problem "openssl cannot make a signing certificate"; return; }
  cat "$keys/signing.pem" "$keys/ca.pem" >"$keys/chain.pem"
  "$make_msi" --sign "$keys/chain.pem" "$keys/signing.key" x64 "$build64" "$version" "$work/signed.msi" ||
    { problem "make-msi.sh --sign failed"; return; }
  rm -rf "$work/signed" && mkdir "$work/signed"
  (cd "$work/signed" && msiextract ../signed.msi >/dev/null) || problem "the signed package cannot be unpacked"
  local file
  for file in "$work/signed.msi" "$work/signed/Quillmark Orvane/QuillmarkOrvane.exe" "$work/signed/Quillmark Orvane/orvane.exe"; do
    osslsigncode verify -CAfile "$keys/ca.pem" -ignore-timestamp -in "$file" >"$work/verify.log" 2>&1 ||
      problem "${file##*/} does not verify: $(tail -n 3 "$work/verify.log" | tr '\n' ' ')"
    ! osslsigncode verify -CAfile "$keys/other_ca.pem" -ignore-timestamp -in "$file" >/dev/null 2>&1 ||
      problem "${file##*/} verifies against a CA that did not sign it"
  done
  # The build's own programs stay as built; the unsigned package has no signature.
  ! osslsigncode verify -CAfile "$keys/ca.pem" -ignore-timestamp -in "$msi64" >/dev/null 2>&1 ||
    problem "the unsigned package verifies"
}

# Under Wine.
run_msiexec() {  # run_msiexec /i|/x PACKAGE LOG [PROPERTY=VALUE...]
  local rc=0
  wine msiexec "$1" "$(winepath -w "$2")" /qn /l*v "$(winepath -w "$3")" "${@:4}" >/dev/null 2>&1 || rc=$?
  wineserver -w
  return "$rc"
}
# The code msiexec /i answers, whole (a Linux exit status keeps only its low
# byte: 1603 would read 67): cmd prints it after msiexec has ended. The
# paths (the build's) hold no blank.
msiexec_code() {  # msiexec_code PACKAGE LOG
  wine cmd /c "msiexec /i $(winepath -w "$1") /qn /l*v $(winepath -w "$2") & echo code=%ERRORLEVEL%" 2>/dev/null |
    tr -d '\r' | sed -n 's/^code=//p'
  wineserver -w
}
unix_folder() { local folder; folder=$(winepath -u "$1"); echo "${folder%/}"; }
logged_property() { tr -d '\r' <"$1" | sed -n "s/^Property(S): $2 = //p" | tail -n 1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The trail's event source, which the package registers with orvane.exe's message table.
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quillmark Orvane'
declare -A view=([x64]=64 [x86]=32)
# A registry value as a program of ARCH reads it.
reg_value() {  # reg_value ARCH KEY NAME
  wine reg query "$2" /v "$3" /reg:"${view[$1]}" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$3 *REG_[A-Z_]* *//p"
}
arp_value() { reg_value "$1" "$uninstall_key\\$2" "$3"; }
arp_entries() {  # arp_entries ARCH: how many uninstall entries name the product
  wine reg query "$uninstall_key" /s /reg:"${view[$1]}" 2>/dev/null | tr -d '\r' |
    grep -c '^ *DisplayName *REG_SZ *Quillmark Orvane$'
}
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

# Every file of the package's File table is in FOLDER (the policy templates
# in their folders), with its size.
check_files_installed() {  # check_files_installed PACKAGE FOLDER
  local file name size
  while IFS=$'\t' read -r file _ name size _; do
    name=${name#*|}
    case $name in *.admx) name=policy/$name ;; *.adml) name=policy/en-US/$name ;; esac
    [ "$(stat -c %s "$2/$name" 2>/dev/null)" = "$size" ] || problem "$name is not installed in $2 with $size bytes"
  done < <(rows "$1" File)
}
check_files_removed() {  # check_files_removed PACKAGE FOLDER
  local name
  for name in QuillmarkOrvane.exe orvane.exe Orvaneupdatecfg.ini Icon.ico newupdate.db policy; do
    [ ! -e "$2/$name" ] || problem "$name was left in $2"
  done
}

# The user's data: in the stores, and what older versions made beside
# themselves (which the program moves into the stores). The package touches none of it.
declare -A beside_program=([mydatabase.db]="the user's database" [Backups/x.reg]="Windows Registry Editor Version 5.00"
  [Orvane.log]="log" [Orvane_1.log]="older log" [config.ini]=$'[LOG]\nLEVEL=1')
declare -A in_stores=([machine/mydatabase.db]="keep list and undo rows" [machine/Backups/registry-1.reg]="a backup"
  [user/settings.ini]=$'[LOG]\nLEVEL=1')
place_user_data() {  # place_user_data PROGRAM_FOLDER
  local name path
  for name in "${!beside_program[@]}"; do
    mkdir -p "$(dirname "$1/$name")" && printf '%s' "${beside_program[$name]}" >"$1/$name"
  done
  for name in "${!in_stores[@]}"; do
    path=$(store_path "$name")
    mkdir -p "$(dirname "$path")" && printf '%s' "${in_stores[$name]}" >"$path"
  done
  # The program has imported and deleted its seed.
  rm -f "$1/newupdate.db"
}
store_path() { case $1 in machine/*) echo "$machine_store/${1#*/}" ;; user/*) echo "$user_store/${1#*/}" ;; esac; }
check_user_data() {  # check_user_data PROGRAM_FOLDER
  local name
  for name in "${!beside_program[@]}"; do
    [ "$(cat "$1/$name" 2>/dev/null)" = "${beside_program[$name]}" ] || problem "the user's $name beside the program was not kept"
  done
  for name in "${!in_stores[@]}"; do
    [ "$(cat "$(store_path "$name")" 2>/dev/null)" = "${in_stores[$name]}" ] || problem "the user's $name in the stores was not kept"
  done
}

# The uninstall entry and the detection values of an installed package.
check_installed() {  # check_installed ARCH PACKAGE FOLDER
  local arch=$1 msi=$2 folder=$3 code product_version windows_folder
  code=$(property "$msi" ProductCode) product_version=$(property "$msi" ProductVersion)
  windows_folder=$(winepath -w "$folder")'\'
  check_files_installed "$msi" "$folder"
  [ "$(arp_value "$arch" "$code" DisplayName)" = "Quillmark Orvane" ] || problem "no uninstall entry named Quillmark Orvane for $code"
  [ "$(arp_entries "$arch")" = 1 ] || problem "$(arp_entries "$arch") uninstall entries named Quillmark Orvane"
  local name expected
  for name in "DisplayVersion=$product_version" "Publisher=Quillmark" "InstallLocation=$windows_folder" \
      "URLInfoAbout=https://www.quillmark.example/products/orvane/" "NoRepair=0x1" "NoModify=0x1"; do
    expected=${name#*=}
    [ "$(arp_value "$arch" "$code" "${name%%=*}")" = "$expected" ] ||
      problem "the uninstall entry's ${name%%=*} is '$(arp_value "$arch" "$code" "${name%%=*}")', not '$expected'"
  done
  arp_value "$arch" "$code" UninstallString | grep -qiF "/X$code" || problem "the uninstall entry cannot uninstall"
  [ "$(reg_value "$arch" 'HKLM\SOFTWARE\Quillmark\Orvane' InstallDir)" = "$windows_folder" ] ||
    problem "InstallDir is '$(reg_value "$arch" 'HKLM\SOFTWARE\Quillmark\Orvane' InstallDir)', not '$windows_folder'"
  [ "$(reg_value "$arch" 'HKLM\SOFTWARE\Quillmark\Orvane' Version)" = "$product_version" ] ||
    problem "Version is '$(reg_value "$arch" 'HKLM\SOFTWARE\Quillmark\Orvane' Version)', not '$product_version'"
  [ "$(reg_value "$arch" "$event_source" EventMessageFile)" = "${windows_folder}orvane.exe" ] ||
    problem "the event source's EventMessageFile is '$(reg_value "$arch" "$event_source" EventMessageFile)', not '${windows_folder}orvane.exe'"
  [ "$(reg_value "$arch" "$event_source" TypesSupported)" = 0x7 ] ||
    problem "the event source's TypesSupported is '$(reg_value "$arch" "$event_source" TypesSupported)', not 0x7"
  cmp -s "$folder/orvane.exe" "${build[$arch]}/bin/orvane.exe" || problem "the installed command line is not the build's"
  cmp -s "$folder/QuillmarkOrvane.exe" "${build[$arch]}/bin/QuillmarkOrvane.exe" || problem "the installed program is not the build's"
}
check_not_installed() {  # check_not_installed ARCH PACKAGE FOLDER
  check_files_removed "$2" "$3"
  [ -z "$(arp_value "$1" "$(property "$2" ProductCode)" DisplayName)" ] || problem "the $1 uninstall entry was left"
  [ "$(arp_entries "$1")" = 0 ] || problem "an uninstall entry named Quillmark Orvane was left in the ${view[$1]}-bit registry"
  local name
  for name in InstallDir LegacyDir; do
    [ -z "$(reg_value "$1" 'HKLM\SOFTWARE\Quillmark\Orvane' "$name")" ] || problem "the $1 $name value was left"
  done
  # The event source's key is one for both registry views: it goes with the last package.
  if [ "$(arp_entries x64)" = 0 ] && [ "$(arp_entries x86)" = 0 ]; then
    [ -z "$(reg_value "$1" "$event_source" EventMessageFile)" ] || problem "the event source was left registered"
  fi
}

# The 64-bit package into a folder of the administrator's choosing.
chosen='C:\Apps\Quillmark Orvane\'
install64() {
  run_msiexec /i "$msi64" "$work/install64.log" "INSTALLDIR=$chosen" || { problem "msiexec /i answered $?"; return; }
  folder64=$(unix_folder "$chosen")
  check_installed x64 "$msi64" "$folder64"
  # Wine puts a per-machine package's shortcuts into the installing user's
  # Start menu: the shortcut is looked for where msiexec put it.
  local programs
  programs=$(winepath -u "$(logged_property "$work/install64.log" ProgramMenuFolder)")
  shortcut=$programs/Quillmark\ Orvane.lnk
  if [ ! -f "$shortcut" ]; then
    problem "no shortcut in $programs"
  else
    strings -a "$shortcut" | grep -qxiF "${chosen}QuillmarkOrvane.exe" || problem "the shortcut does not start the installed program"
    strings -a -el "$shortcut" | grep -qiF "$chosen" || problem "the shortcut does not start in the program folder"
  fi
  local icon
  icon=$(wine reg query "HKCR\\Installer\\Products\\$(packed "$(property "$msi64" ProductCode)")" /v ProductIcon 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *ProductIcon *REG_SZ *//p')
  cmp -s "$(winepath -u "${icon:-C:\\none}")" "$root/src/ui/icon.ico" || problem "the uninstall entry's icon is not the program's: '$icon'"
  place_user_data "$folder64"
}

# A newer package upgrades: in the installed folder, or where the command
# line says.
upgrade() {  # upgrade ARCH INSTALLED_PACKAGE INSTALLED_FOLDER NEW_FOLDER [PROPERTY=VALUE...]
  local arch=$1
  "$make_msi" "$arch" "${build[$arch]}" "$newer" "$work/newer-$arch.msi" || { problem "cannot build a package of $newer"; return; }
  run_msiexec /i "$work/newer-$arch.msi" "$work/upgrade-$arch.log" "${@:5}" || { problem "msiexec /i of $newer answered $?"; return; }
  [ -z "$(arp_value "$arch" "$(property "$2" ProductCode)" DisplayName)" ] || problem "the older product is still installed"
  check_installed "$arch" "$work/newer-$arch.msi" "$4"
  [ "$3" = "$4" ] || check_files_removed "$2" "$3"
  [ -f "$shortcut" ] || problem "the shortcut is gone"
  check_user_data "$3"
}
# Not told the folder: the remembered one.
upgrade64() {
  upgrade x64 "$msi64" "$folder64" "$folder64"
  [ ! -e "$WINEPREFIX/drive_c/Program Files/Quillmark Orvane" ] || problem "the upgrade installed into Program Files"
}
# Told another folder: that one.
moved32_windows='C:\Moved\Quillmark Orvane\'
upgrade32() { upgrade x86 "$msi32" "$folder32" "$(unix_folder "$moved32_windows")" "INSTALLDIR=$moved32_windows"; }

# A package rebuilt from the same version has the installed ProductCode: it
# is not installed beside the installed one. Windows refuses it (1638,
# another version of this product is installed); Wine 8 installs it over the
# installed product under that one ProductCode. Both leave one product.
rebuild_not_beside() {
  "$make_msi" x64 "$build64" "$newer" "$work/rebuilt64.msi" || { problem "cannot rebuild the package of $newer"; return; }
  [ "$(property "$work/rebuilt64.msi" ProductCode)" = "$(property "$work/newer-x64.msi" ProductCode)" ] ||
    problem "the rebuilt package has another ProductCode"
  [ "$(msiinfo suminfo "$work/rebuilt64.msi" | grep 'Revision number')" != "$(msiinfo suminfo "$work/newer-x64.msi" | grep 'Revision number')" ] ||
    problem "the rebuilt package is the same package"
  local code
  code=$(msiexec_code "$work/rebuilt64.msi" "$work/rebuild64.log")
  [ "$code" = 1638 ] || [ "$code" = 0 ] || problem "msiexec /i of the rebuilt package answered '$code'"
  check_installed x64 "$work/newer-x64.msi" "$folder64"
  check_user_data "$folder64"
}

# Refused by the launch condition: msiexec answers 1603 (ERROR_INSTALL_FAILURE),
# as Windows Installer does for a failed launch condition; Wine 8 answers the same.
downgrade64() {
  local code
  code=$(msiexec_code "$msi64" "$work/downgrade64.log")
  [ "$code" = 1603 ] || problem "msiexec /i of the older package answered '$code', not 1603"
  # Refused by the launch condition whose message the tables hold (Wine shows
  # it only with a user interface and does not log it).
  [ "$(logged_property "$work/downgrade64.log" WIX_DOWNGRADE_DETECTED)" = "$(property "$work/newer-x64.msi" ProductCode)" ] ||
    problem "the newer product was not detected"
  grep -q 'LaunchConditions\. Return value [^1]' "$work/downgrade64.log" || problem "the launch conditions did not refuse"
  [ -z "$(arp_value x64 "$(property "$msi64" ProductCode)" DisplayName)" ] || problem "the older product was registered"
  check_installed x64 "$work/newer-x64.msi" "$folder64"
  check_user_data "$folder64"
}

uninstall() {  # uninstall ARCH PACKAGE FOLDER DATA_FOLDER
  run_msiexec /x "$2" "$work/uninstall-$1.log" || { problem "msiexec /x answered $?"; return; }
  check_not_installed "$1" "$2" "$3"
  [ ! -e "$shortcut" ] || problem "the shortcut was left"
  check_user_data "$4"
  local left
  left=$(cd "$4" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
  [ "$left" = "$(printf '%s\n' "${!beside_program[@]}" | sort | tr '\n' ' ')" ] || problem "the program folder holds: $left"
  [ "$3" = "$4" ] || [ -z "$(find "$3" -type f 2>/dev/null)" ] || problem "files were left in $3"
}

# The 32-bit package: installed into Program Files (x86), upgraded, removed.
folder32_windows='C:\Program Files (x86)\Quillmark Orvane\'
install32() {  # install32 PACKAGE
  run_msiexec /i "$1" "$work/install32.log" || { problem "msiexec /i answered $?"; return; }
  check_installed x86 "$1" "$folder32"
  [ "$(logged_property "$work/install32.log" INSTALLDIR)" = "$folder32_windows" ] ||
    problem "installed into '$(logged_property "$work/install32.log" INSTALLDIR)'"
  [ -z "$(reg_value x64 'HKLM\SOFTWARE\Quillmark\Orvane' InstallDir)" ] || problem "the 32-bit package wrote into the 64-bit registry"
  shortcut=$(winepath -u "$(logged_property "$work/install32.log" ProgramMenuFolder)")/Quillmark\ Orvane.lnk
  [ -f "$shortcut" ] || problem "no shortcut"
  place_user_data "$folder32"
}

# What a 1.0.x install left beside its program: a database of that version
# (fewer tables than later ones) with a keep list and changes to undo, the
# backup its registry clean names, its settings and its log.
earlier_keep=('C:\QoOld\keep.txt' 'junk.temp')
earlier_changes='registry=1 service=1 startup=1'
earlier_config=$'[LOG]\r\nLEVEL=1'
plant_earlier_install() {  # plant_earlier_install PROGRAM_FOLDER WINDOWS_FOLDER
  mkdir -p "$1/Backups"
  printf 'Windows Registry Editor Version 5.00\r\n' >"$1/Backups/old.reg"
  printf '%s' "$earlier_config" >"$1/config.ini"
  printf 'log\r\n' >"$1/Orvane.log"
  rm -f "$1/mydatabase.db"
  sqlite3 "$1/mydatabase.db" "
    create table tbl_serversOperation (id integer primary key,servrName char NOT NULL,oldStatus integer,
      newStatus integer,data data,time time);
    create table tbl_registryclean (id integer primary key,stamp integer,backup TEXT,entries integer,restored integer);
    create table tbl_startupswitch (id integer primary key,stamp integer,iconPath TEXT,fileDescription TEXT,
      strPath TEXT,strName TEXT,hKey integer,uFilePathFlag integer,bStatus integer,restored integer);
    create table tbl_keeplist (id integer primary key,item TEXT,stamp integer);
    insert into tbl_serversOperation values(3,'QoOldService',2,4,'01/02/2020','10:11:12');
    insert into tbl_registryclean values(6,1600000000,'${2}Backups\\old.reg',1,0);
    insert into tbl_startupswitch values(9,1600000002,'C:\\QoOld\\machine.exe','MachineRun',
      'Software\\Microsoft\\Windows\\CurrentVersion\\Run','QoMachineRun',-2147483646,1,1,0);
    insert into tbl_keeplist values(1,'${earlier_keep[0]}',1600000006);
    insert into tbl_keeplist values(2,'${earlier_keep[1]}',1600000007);"
}
# orvane of the installed 64-bit package, run as Wine runs everything: elevated.
orvane64() { wine 'C:\Program Files\Quillmark Orvane\orvane.exe' "$@" 2>/dev/null | tr -d '\r'; }
files_in() { (cd "$1" && find . -maxdepth 1 -type f | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }
# The kinds of the changes `undo list --json` lists, counted: "registry=1 service=1 ...".
change_kinds() { jq -r '[.changes[].id | split("-")[0]] | group_by(.) | map("\(.[0])=\(length)") | join(" ")' 2>/dev/null; }

# A machine switched from the 32-bit package to the 64-bit one: the 64-bit
# package removes the 32-bit product and records the folder it was in; the
# record outlives a 64-bit upgrade; the first start of the 64-bit program
# moves what the earlier version left there into the stores (every keep-list
# entry and change to undo), keeps the old database under its new name and
# removes the record; a start after that changes nothing. The 32-bit package
# then refuses to go beside it.
switch() {
  # Neither the stores nor the 32-bit folder as the earlier steps left them
  # hold a database of the program's.
  rm -rf "$machine_store" "$user_store" "$folder32"
  run_msiexec /i "$msi32" "$work/switch32.log" || { problem "msiexec /i of the 32-bit package answered $?"; return; }
  plant_earlier_install "$folder32" "$folder32_windows"
  run_msiexec /i "$work/newer-x64.msi" "$work/switch64.log" || { problem "msiexec /i of the 64-bit package answered $?"; return; }
  check_not_installed x86 "$msi32" "$folder32"
  check_installed x64 "$work/newer-x64.msi" "$WINEPREFIX/drive_c/Program Files/Quillmark Orvane"
  [ "$(reg_value x64 'HKLM\SOFTWARE\Quillmark\Orvane' LegacyDir)" = "$folder32_windows" ] ||
    problem "LegacyDir is '$(reg_value x64 'HKLM\SOFTWARE\Quillmark\Orvane' LegacyDir)', not '$folder32_windows'"
  # Upgraded before the program ever started as an administrator: the record
  # goes with the old product and comes back with the new one.
  "$make_msi" x64 "$build64" "$newest" "$work/newest-x64.msi" || { problem "cannot build a package of $newest"; return; }
  run_msiexec /i "$work/newest-x64.msi" "$work/switch-upgrade64.log" || { problem "msiexec /i of $newest answered $?"; return; }
  check_installed x64 "$work/newest-x64.msi" "$WINEPREFIX/drive_c/Program Files/Quillmark Orvane"
  [ "$(reg_value x64 'HKLM\SOFTWARE\Quillmark\Orvane' LegacyDir)" = "$folder32_windows" ] ||
    problem "after an upgrade LegacyDir is '$(reg_value x64 'HKLM\SOFTWARE\Quillmark\Orvane' LegacyDir)'"

  local changes kept files
  changes=$(orvane64 undo list --json) kept=$(orvane64 keep list --json)
  [ "$(change_kinds <<<"$changes")" = "$earlier_changes" ] || problem "the changes listed are not the earlier ones: $changes"
  [ "$(jq -r '.kept[]' <<<"$kept" 2>/dev/null | sort)" = "$(printf '%s\n' "${earlier_keep[@]}" | sort)" ] ||
    problem "the keep list is not the earlier one: $kept"
  files=$(files_in "$folder32")
  [[ $files =~ ^Orvane\.log\ config\.ini\ mydatabase\.migrated-[0-9]{8}-[0-9]{6}\.db\ $ ]] ||
    problem "the old folder holds: $files"
  [ -f "$folder32/Backups/old.reg" ] || problem "the old backup is gone"
  [ "$(cat "$user_store/config.ini" 2>/dev/null)" = "$earlier_config" ] || problem "config.ini was not copied into the account's store"
  [ -z "$(reg_value x64 'HKLM\SOFTWARE\Quillmark\Orvane' LegacyDir)" ] || problem "LegacyDir is still recorded after the move"
  # Started again: nothing moves twice.
  [ "$(orvane64 undo list --json | jq -c '.changes')" = "$(jq -c '.changes' <<<"$changes")" ] ||
    problem "a second start lists other changes"
  [ "$(files_in "$folder32")" = "$files" ] ||
    problem "a second start changed the old folder"

  local rc=0
  run_msiexec /i "$msi32" "$work/beside64.log" || rc=$?
  [ "$rc" != 0 ] || problem "the 32-bit package was installed beside the 64-bit one"
  [ "$(arp_entries x86)" = 0 ] || problem "the 32-bit package was registered beside the 64-bit one"
  run_msiexec /x "$work/newest-x64.msi" "$work/switch-uninstall.log" || problem "msiexec /x of the 64-bit package answered $?"
  check_not_installed x64 "$work/newest-x64.msi" "$WINEPREFIX/drive_c/Program Files/Quillmark Orvane"
}

step installer_tables64 PackageTables64 tables "$msi64" x64
step installer_tables32 PackageTables32 tables "$msi32" x86
step installer_versions PackageVersions versions
step installer_program_versions ProgramVersions program_versions
step installer_policy PolicyTemplates policy_templates
step installer_signatures SignedPackage signatures

# A prefix of this test's own, made afresh (scripts/wine-env.sh), without the
# menu entries Wine would make on the Linux side for the shortcut.
. "$root/scripts/wine-env.sh" "$wine_root"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
machine_store=$WINEPREFIX/drive_c/ProgramData/Quillmark/Orvane
user_store=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')")/Quillmark/Orvane
folder32="$WINEPREFIX/drive_c/Program Files (x86)/Quillmark Orvane"
folder64="" shortcut=""

uninstall64() { uninstall x64 "$work/newer-x64.msi" "$folder64" "$folder64"; }
uninstall32() { uninstall x86 "$work/newer-x86.msi" "$(unix_folder "$moved32_windows")" "$folder32"; }
# Each install, then the steps that need it (not run when it failed).
run_after() {  # run_after REPORT:CASE:FUNCTION...
  local next
  for next in "$@"; do
    if [ "$installed" = yes ]; then
      step "${next%%:*}" "$(cut -d: -f2 <<<"$next")" "${next##*:}"
    else
      not_run "${next%%:*}" "$(cut -d: -f2 <<<"$next")" "the install failed"
    fi
  done
}
installed=no
! step installer_install64 Install64IntoChosenFolder install64 || installed=yes
run_after installer_upgrade64:Upgrade64KeepsFolderAndData:upgrade64 \
  installer_rebuild64:SameVersionRebuildNotBeside:rebuild_not_beside \
  installer_downgrade64:OlderPackageRefused:downgrade64 \
  installer_uninstall64:Uninstall64KeepsUserData:uninstall64
installed=no
! step installer_install32 Install32 install32 "$msi32" || installed=yes
run_after installer_upgrade32:Upgrade32IntoFolderGiven:upgrade32 installer_uninstall32:Uninstall32KeepsUserData:uninstall32
step installer_switch Switch32To64KeepsUserData switch
wineserver -k 2>/dev/null
# The prefix is large; it stays only to look at a failure.
[ "$status" != 0 ] || rm -rf "$wine_root"
exit "$status"
