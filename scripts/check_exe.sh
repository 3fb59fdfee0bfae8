#!/bin/bash
# Checks the launcher's file: PE32 i386, Windows GUI subsystem version 4.0,
# static imports of KnownDLLs only (any other DLL would be looked for beside
# the exe first), ASLR and DEP, the shared section of the one-running-copy
# slot, and a manifest that runs it as the invoker.
# Given the list of the exe's object files as well (build/win32/prelaunch.objects),
# also that none of them defines a test-only function (the ...ForTests resets
# the host build compiles with PRELAUNCH_TESTING): the exe is stripped and its
# unused code dropped, so the objects are what can tell.
# The size budget: at most 45,056 bytes without the splash bitmap, /Check included.
set -euo pipefail
exe="$1"
objects="${2:-}"
here="$(cd "$(dirname "$0")" && pwd)"
headers=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "check_exe: $*" >&2; exit 1; }
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 file"
grep -qE '^Magic[[:space:]]+010b' <<<"$headers" || fail "not PE32"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not the Windows GUI subsystem"
grep -qE '^MajorSubsystemVersion[[:space:]]+4$' <<<"$headers" || fail "subsystem major version is not 4"
grep -qE '^MinorSubsystemVersion[[:space:]]+0$' <<<"$headers" || fail "subsystem minor version is not 0"
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|msvcrt)\.dll$'
while read -r dll; do
  grep -qiE "$allowed" <<<"$dll" || fail "imports $dll, not a KnownDLL"
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
characteristics=$(sed -n 's/^DllCharacteristics[[:space:]]*//p' <<<"$headers")
[ -n "$characteristics" ] || fail "no DllCharacteristics"
(( 0x$characteristics & 0x40 )) || fail "no DYNAMIC_BASE (DllCharacteristics $characteristics)"
(( 0x$characteristics & 0x100 )) || fail "no NX_COMPAT (DllCharacteristics $characteristics)"
i686-w64-mingw32-objdump -h "$exe" | grep -qE '[[:space:]]\.reloc[[:space:]]' || fail "no .reloc section to rebase with"
# One running copy is found through a value that every process of the exe shares.
i686-w64-mingw32-objdump -h "$exe" | grep -A1 -E '[[:space:]]SHAREDAT[[:space:]]' | grep -qw SHARED \
  || fail "no shared SHAREDAT section: every copy would see only its own thread slot"
manifest=$(python3 "$here/pe_manifest.py" "$exe") || fail "no RT_MANIFEST resource 1"
grep -qE '<requestedExecutionLevel[^>]*level="asInvoker"' <<<"$manifest" || fail "the manifest does not ask for asInvoker"
budget=45056
bare=$(python3 "$here/pe_manifest.py" --bare-size "$exe") || fail "cannot read the resources of $exe"
(( bare <= budget )) || fail "$bare bytes without the bitmap, over the budget of $budget"
if [ -n "$objects" ]; then
  mapfile -t object_files < <(grep -v '^$' "$objects")
  (( ${#object_files[@]} > 0 )) || fail "no object files listed in $objects"
  # Link-time-optimisation objects: gcc-nm reads gcc's, llvm-nm clang's (LLVM bitcode).
  nm=i686-w64-mingw32-gcc-nm
  [ "$(head -c 2 "${object_files[0]}")" != BC ] || nm=llvm-nm
  symbols=$("$nm" --defined-only "${object_files[@]}") || fail "cannot read the symbols of $objects"
  grep -q 'WinMain' <<<"$symbols" || fail "no WinMain among the symbols of $objects: nothing was read"
  test_only=$(grep -E 'ForTests' <<<"$symbols" || true)
  [ -z "$test_only" ] || fail "test-only code in the exe's objects: $(tr '\n' ' ' <<<"$test_only")"
  echo "check_exe: ${#object_files[@]} object files, none with a test-only function"
fi
echo "check_exe: $exe is PE32 i386, GUI subsystem 4.0, DllCharacteristics $characteristics, manifest asInvoker," \
  "$bare bytes without the bitmap (budget $budget)," \
  "imports: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
