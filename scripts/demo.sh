#!/bin/bash
# Builds the launcher, dry-runs it once (/Check), then runs it twice on the demo
# home folder under Wine, with a virtual display when none is set: the first run
# registers the demo's control, the second finds it current. Extra arguments go
# to the launcher (default: /Debug, so the trace log is shown).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

source "$root/scripts/wine-env.sh"
arch="$PRELAUNCH_DEMO_ARCH"
if [ "$arch" = win32 ]; then what="the 32-bit product"; else what="the 64-bit build of the same sources"; fi
cmake --preset "$arch" -S "$root" >/dev/null
cmake --build "$root/build/$arch" -j2 >/dev/null

stage="$root/build/demo"
rm -rf "$stage"
mkdir -p "$stage/DEMO"
cp "$root/build/$arch/bin/prelaunch.exe" "$stage/DEMO.EXE"
cp "$root/examples/DEMO/"* "$stage/DEMO/"
cp "$root/build/$arch/bin/sample_app.exe" "$stage/DEMO/DEMOAPP.EXE"
cp "$root/build/$arch/bin/sample_control.ocx" "$stage/DEMO/DEMOCTRL.OCX"

wine_prepare
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(/Debug)
# Start as on a machine that has never seen the demo.
for key in 'HKCR\TypeLib\{5A3C1E20-7B4D-4C1A-9E2F-0D1C2B3A4F51}' \
           'HKCR\CLSID\{5A3C1E20-7B4D-4C1A-9E2F-0D1C2B3A4F52}' 'HKLM\Software\prelaunch demo'; do
  wine reg delete "$key" /f >/dev/null 2>&1 || true
done
# A dry run first: what the launch would do, read only (the report comes on stdout).
echo "demo: /Check of $stage/DEMO.EXE ($what, build/$arch)"
status=0
(cd "$stage" && wine DEMO.EXE /Check 2> "$stage/wine.check.log") || status=$?
echo "demo: /Check exit status $status"
status=0
for run in first second; do
  echo "demo: $run run of $stage/DEMO.EXE ${args[*]} ($what, build/$arch)"
  set +e
  (cd "$stage" && wine DEMO.EXE "${args[@]}" 2> "$stage/wine.$run.log")
  status=$?
  set -e
  grep -a 'OutputDebugStringA' "$stage/wine.$run.log" | sed -e 's/.*OutputDebugStringA "//' -e 's/\\n"$//' -e 's/\\\\/\\/g' || true
  echo "demo: launcher exit status $status"
  [ $status -eq 0 ] || break
done
exit $status
