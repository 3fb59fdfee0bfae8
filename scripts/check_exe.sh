#!/bin/bash
# Checks the launcher's file: PE32 i386, Windows GUI subsystem version 4.0,
# and imports from Windows' own DLLs only.
set -euo pipefail
exe="$1"
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "check_exe: $*" >&2; exit 1; }
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 file"
grep -qE '^Magic[[:space:]]+010b' <<<"$headers" || fail "not PE32"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not the Windows GUI subsystem"
grep -qE '^MajorSubsystemVersion[[:space:]]+4$' <<<"$headers" || fail "subsystem major version is not 4"
grep -qE '^MinorSubsystemVersion[[:space:]]+0$' <<<"$headers" || fail "subsystem minor version is not 0"
allowed='^(KERNEL32|USER32|GDI32|WINMM|VERSION|ADVAPI32|msvcrt)\.dll$'
while read -r dll; do
  grep -qiE "$allowed" <<<"$dll" || fail "imports $dll"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
echo "check_exe: $exe is PE32 i386, GUI subsystem 4.0, imports: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
