#!/bin/bash
# Reports, for the demo under Wine: the exe's size with and without its bitmap
# resource, the time from "Application Start" to "WinExec" in the trace log
# (median of several runs), and the launcher's peak memory.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${BENCH_RUNS:-5}"
command -v /usr/bin/time >/dev/null || { apt-get update -qq && apt-get install -y -qq time >/dev/null; }
"$root/scripts/demo.sh" /Debug >/dev/null
source "$root/scripts/wine-env.sh"

exe="$root/build/win32/bin/prelaunch.exe"
size=$(stat -c %s "$exe")
stripped="$root/build/bench-nobitmap.exe"
if i686-w64-mingw32-objcopy --help >/dev/null 2>&1 && \
   i686-w64-mingw32-windres --help >/dev/null 2>&1; then
  # Rebuild the resources without the bitmap and relink only to measure.
  work="$root/build/bench"
  rm -rf "$work" && mkdir -p "$work"
  grep -v 'BITMAP' "$root/resources/prelaunch.rc" > "$work/nobitmap.rc"
  cp "$root/resources/prelaunch.ico" "$root/resources/prelaunch.manifest" "$work/"
  cmake --preset win32 -S "$root" -DPRELAUNCH_RC_OVERRIDE="$work/nobitmap.rc" \
    -B "$work/build" >/dev/null
  cmake --build "$work/build" --target prelaunch -j2 >/dev/null
  cp "$work/build/bin/prelaunch.exe" "$stripped"
fi
echo "demo build: $PRELAUNCH_DEMO_ARCH (trace timings and memory are of that build; sizes are of the 32-bit product)"
echo "exe size: $size bytes"
[ -f "$stripped" ] && echo "exe size without the bitmap resource: $(stat -c %s "$stripped") bytes"

source "$root/scripts/wine-env.sh"
wine_prepare
stage="$root/build/demo"
times=()
peak=0
for i in $(seq "$runs"); do
  log="$stage/bench-$i.log"
  ( cd "$stage" && /usr/bin/time -v -o "$stage/time-$i.txt" "${WINELOADER:-wine}" DEMO.EXE /Debug 2> "$log" ) || true
  start=$(grep -a 'Application Start' "$log" | sed -E 's/.*CurrentTime: (-?[0-9]+).*/\1/' | head -1)
  exec_at=$(grep -a '"CurrentTime: [0-9-]* WinExec\\n"' "$log" | sed -E 's/.*CurrentTime: (-?[0-9]+).*/\1/' | head -1)
  if [ -n "$start" ] && [ -n "$exec_at" ]; then times+=($((10#$exec_at - 10#$start))); fi
  rss=$(grep 'Maximum resident' "$stage/time-$i.txt" | awk '{print $NF}')
  [ -n "$rss" ] && [ "$rss" -gt "$peak" ] && peak=$rss
done
if [ ${#times[@]} -gt 0 ]; then
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  echo "Application Start -> WinExec: median ${median} ms over ${#times[@]} runs (${times[*]})"
fi
# The peak covers the wine process tree that the launcher ran in (largest process).
echo "peak resident memory of the largest process in the launcher's run: ${peak} KiB"
