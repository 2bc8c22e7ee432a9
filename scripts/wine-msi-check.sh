#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs and removes the tool's Windows Installer package under Wine, silently, as an
# administrator's deployment does, in a Wine prefix of its own that it makes and deletes:
#   msiexec /i <msi> /qn       exits 0 and puts the programs into Program Files\zmr470-update;
#                              it replaces an older package of the tool (the same upgrade code),
#                              which is then no longer registered, and an older package refuses
#                              to go over it (1603);
#   zmr470-update-cli.exe --version  runs from there (with the simulated printer's DLLs on the
#                              DLL search path, where a real PC has the printer driver's);
#   msiexec /x <msi> /qn       exits 0 and leaves no file of the tool behind.
# Usage: scripts/wine-msi-check.sh MSI SIM_DLL_DIR
set -euo pipefail
msi=$(realpath "$1")
sim_dir=$(realpath "$2")
root="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
prefix="$work/prefix"
wine() { "$root/scripts/wine-run.sh" "$prefix" "$@"; }
windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }
cleanup() {
  wine --stop-server >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "wine-msi-check: $*" >&2
  exit 1
}
# The exit status of msiexec with these arguments: Windows' exit code as a Unix process's status,
# its low eight bits (1603 "fatal error during installation" shows as 67).
msiexec_status() {
  local status=0
  wine msiexec "$@" </dev/null >/dev/null 2>&1 || status=$?
  echo "$status"
}
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v name="$2" '$1 == name {print $2}'; }
# Whether Windows lists a product code among the installed programs.
registered() {
  wine reg query "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\\$1" \
    </dev/null >/dev/null 2>&1
}

version=$(property "$msi" ProductVersion)
[ -n "$version" ] || fail "$msi: no ProductVersion"

# An older package of the tool: the same files and upgrade code, a lower version, its own
# product and package codes, and its version in the ranges by which it finds the tool's other
# packages (older ones to replace, newer ones to refuse).
older="$work/older.msi"
cp "$msi" "$older"
template=$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')
older_code="{$(tr a-f A-F </proc/sys/kernel/random/uuid)}"
upgrade_code=$(property "$msi" UpgradeCode)
msibuild "$older" \
  -q "UPDATE Property SET Value = '0.9.0' WHERE Property = 'ProductVersion'" \
  -q "UPDATE Property SET Value = '$older_code' WHERE Property = 'ProductCode'" \
  -q "DELETE FROM \`Upgrade\`" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`)
      VALUES ('$upgrade_code', '0.9.0', 1, 'WIX_UPGRADE_DETECTED')" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`Attributes\`, \`ActionProperty\`)
      VALUES ('$upgrade_code', '0.9.0', 2, 'WIX_DOWNGRADE_DETECTED')" \
  -s "Installation Database" "The zmr470-update authors" "$template" "{$(tr a-f A-F </proc/sys/kernel/random/uuid)}"

wine --start-server
installed="$prefix/drive_c/Program Files/zmr470-update"
[ "$(msiexec_status /i "$(windows_path "$older")" /qn)" = 0 ] || fail "the older package does not install"
status=$(msiexec_status /i "$(windows_path "$msi")" /qn)
[ "$status" = 0 ] || fail "msiexec /i $msi /qn exited with $status"
for file in zmr470-update.exe zmr470-update-cli.exe README.txt LICENSE.txt; do
  [ -f "$installed/$file" ] || fail "not installed: Program Files/zmr470-update/$file"
done
registered "$(property "$msi" ProductCode)" || fail "the package is not registered as installed"
! registered "$older_code" || fail "the older package is still installed beside the newer one"
status=$(msiexec_status /i "$(windows_path "$older")" /qn)
[ "$status" = $((1603 % 256)) ] || fail "the older package went over the newer one (exit status $status)"

out=$(WINEPATH="$(windows_path "$sim_dir")" \
  wine 'C:\Program Files\zmr470-update\zmr470-update-cli.exe' --version </dev/null) ||
  fail "the installed zmr470-update-cli.exe --version failed"
grep -q "$version" <<<"$out" || fail "the installed terminal tool is not version $version: $out"

status=$(msiexec_status /x "$(windows_path "$msi")" /qn)
[ "$status" = 0 ] || fail "msiexec /x $msi /qn exited with $status"
left=$(find "$prefix/drive_c" \( -iname '*zmr470*' -o -iname 'TALVERON ZMR470*' \) -print)
[ -z "$left" ] || fail "left behind after removal: $left"
! registered "$(property "$msi" ProductCode)" || fail "still registered after removal"
echo "$(basename "$msi"): installed, ran and removed under Wine"
