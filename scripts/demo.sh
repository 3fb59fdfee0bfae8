#!/bin/bash
# Builds the launcher and runs it on the demo home folder under Wine, with a
# virtual display when none is set. Extra arguments go to the launcher
# (default: /Debug, so the trace log is shown).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"

source "$root/scripts/wine-env.sh"
arch="$PRELAUNCH_DEMO_ARCH"
cmake --preset "$arch" -S "$root" >/dev/null
cmake --build "$root/build/$arch" -j2 >/dev/null

stage="$root/build/demo"
rm -rf "$stage"
mkdir -p "$stage/DEMO"
cp "$root/build/$arch/bin/prelaunch.exe" "$stage/DEMO.EXE"
cp "$root/examples/DEMO/"* "$stage/DEMO/"
cp "$root/build/$arch/bin/sample_app.exe" "$stage/DEMO/DEMOAPP.EXE"

wine_prepare
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(/Debug)
echo "demo: running $stage/DEMO.EXE ${args[*]} (the $arch build)"
set +e
(cd "$stage" && wine DEMO.EXE "${args[@]}" 2> "$stage/wine.log")
status=$?
set -e
grep -a 'OutputDebugStringA' "$stage/wine.log" | sed -e 's/.*OutputDebugStringA "//' -e 's/\\n"$//' || true
echo "demo: launcher exit status $status"
