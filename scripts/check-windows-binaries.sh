#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks what the built Windows programs import and what the simulated DLLs export, with
# `objdump -p` of their architecture (i686- or x86_64-w64-mingw32-objdump), in each build folder
# given (default: the two Windows presets'):
#   - zmr470-update.exe and zmr470-update-cli.exe import UsbGetDeviceNum, UsbGetDeviceInfo and
#     UsbOpenBulk3 from TUsbPrIf.dll by exactly these plain names (no "_" prefix, no "@N"), and
#     nothing else but Windows' own DLLs (the compiler's run-time libraries are linked in);
#   - the simulated TUsbPrIf.dll and ZUsbXpIf.dll export their entry points by exactly their
#     plain names.
# A decorated name or a wrong module-definition file fails here, before a Windows PC would
# refuse the program. Usage: scripts/check-windows-binaries.sh [build-folder...]
set -euo pipefail
cd "$(dirname "$0")/.."
(($#)) || set -- build-windows-x86 build-windows

imported="UsbGetDeviceInfo UsbGetDeviceNum UsbOpenBulk3"
exported_TUsbPrIf="$imported"
exported_ZUsbXpIf="SetProductID SetVenderID UsbDeviceIoControl UsbOpenBulk UsbOpenCont"
# Windows' own DLLs that a program of ours may import (compared without case).
system_dlls=(kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll advapi32.dll shell32.dll
  ole32.dll oleaut32.dll shlwapi.dll uxtheme.dll version.dll msvcrt.dll ntdll.dll)
is_system_dll() {
  local lower dll
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$1")
  for dll in "${system_dlls[@]}"; do
    [ "$lower" = "$dll" ] && return 0
  done
  return 1
}

failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# The names that `objdump -p` lists as imported from DLL $2 (sorted, one line).
imports_from() {
  awk -v dll="$2" '
    /^\tDLL Name: / { current = tolower($3); next }
    /^$/ { current = "" }
    current == tolower(dll) && $1 ~ /^[0-9a-f]+$/ && NF == 3 { print $3 }' "$1" | sort -u | xargs
}
# The DLLs that `objdump -p` lists as imported (one per line).
dlls_of() {
  awk '/^\tDLL Name: / { print $3 }' "$1" | sort -u
}
# The names that `objdump -p` lists as exported (sorted, one line).
exports_of() {
  awk '
    /^\[Ordinal\/Name Pointer\] Table/ { table = 1; next }
    /^$/ { table = 0 }
    table && /^\t\[ *[0-9]+\] / { sub(/^\t\[ *[0-9]+\] /, ""); print }' "$1" | sort -u | xargs
}

# `objdump -p` of file $1 into file $2, by the objdump of the file's architecture.
dump_of() {
  local objdump=x86_64-w64-mingw32-objdump
  if x86_64-w64-mingw32-objdump -f "$1" 2>/dev/null | grep -q 'file format pei-i386'; then
    objdump=i686-w64-mingw32-objdump
  fi
  "$objdump" -p "$1" >"$2" 2>/dev/null
}

dump=$(mktemp)
trap 'rm -f "$dump"' EXIT
for build in "$@"; do
  for program in zmr470-update.exe zmr470-update-cli.exe; do
    file="$build/bin/$program"
    if ! dump_of "$file" "$dump"; then
      fail "$file: missing or not a Windows program"
      continue
    fi
    names=$(imports_from "$dump" TUsbPrIf.dll)
    [ "$names" = "$imported" ] ||
      fail "$file imports from TUsbPrIf.dll: '$names', expected '$imported'"
    while read -r dll; do
      [ "$dll" = TUsbPrIf.dll ] || is_system_dll "$dll" ||
        fail "$file imports $dll, which is not one of Windows' own DLLs"
    done < <(dlls_of "$dump")
  done
  for library in TUsbPrIf ZUsbXpIf; do
    file="$build/sim-lib/$library.dll"
    if ! dump_of "$file" "$dump"; then
      fail "$file: missing or not a DLL"
      continue
    fi
    expected_var="exported_$library"
    names=$(exports_of "$dump")
    [ "$names" = "${!expected_var}" ] ||
      fail "$file exports '$names', expected '${!expected_var}'"
  done
done
if ((failures)); then
  echo "check-windows-binaries: $failures problem(s)" >&2
  exit 1
fi
echo "check-windows-binaries: imports and exports as expected in $*"
