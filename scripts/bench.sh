#!/bin/bash
# The launcher side by side with its floor (bench/floor.cpp: the least program
# that shows the same splash bitmap, starts a program and waits for it, built
# with the launcher's flags):
#   - sizes of the 32-bit files, with and without the bitmap;
#   - time from process start to CreateProcess under Wine, median of BENCH_RUNS
#     (default 5) runs of each, on the build that scripts/demo.sh would run;
#   - peak resident memory of the largest process of a run.
# The time: both start bench/stamp.c, which notes how long after its parent's
# creation it was itself created, both as Wine's server recorded them: from
# the moment the process is made (before its DLLs load) to the moment its
# CreateProcess makes the child. Neither program carries instrumentation, and
# the child's own start-up is not counted. The launcher runs on the demo's
# configuration (control current, splash sound) with STAMP.EXE as the
# application; the floor is started as FLOOR.EXE BENCH\STAMP.EXE.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${BENCH_RUNS:-5}"
"$root/scripts/setup.sh"
command -v /usr/bin/time >/dev/null || { apt-get update -qq && apt-get install -y -qq time >/dev/null; }
source "$root/scripts/wine-env.sh"
arch="$PRELAUNCH_DEMO_ARCH"
for preset in $(printf '%s\n' win32 "$arch" | sort -u); do
  cmake --preset "$preset" -S "$root" >/dev/null
  cmake --build "$root/build/$preset" -j2 >/dev/null
done

# The launcher without its bitmap: the same target, built with the resource
# script minus its BITMAP line (kept between runs, so only a relink follows).
work="$root/build/bench"
mkdir -p "$work/nobitmap"
grep -v 'BITMAP' "$root/resources/prelaunch.rc" > "$work/nobitmap/prelaunch.rc.new"
cmp -s "$work/nobitmap/prelaunch.rc.new" "$work/nobitmap/prelaunch.rc" ||
  mv "$work/nobitmap/prelaunch.rc.new" "$work/nobitmap/prelaunch.rc"
rm -f "$work/nobitmap/prelaunch.rc.new"
cp -u "$root/resources/prelaunch.ico" "$root/resources/prelaunch.manifest" "$work/nobitmap/"
cmake --preset win32 -S "$root" -B "$work/nobitmap/build" \
  -DPRELAUNCH_RC_OVERRIDE="$work/nobitmap/prelaunch.rc" >/dev/null
cmake --build "$work/nobitmap/build" --target prelaunch -j2 >/dev/null

size() { stat -c %s "$1"; }
launcher_size=$(size "$root/build/win32/bin/prelaunch.exe")
launcher_bare=$(size "$work/nobitmap/build/bin/prelaunch.exe")
floor_size=$(size "$root/build/win32/bin/floor.exe")
floor_bare=$(size "$root/build/win32/bin/floor_nobitmap.exe")

stage="$work/stage"
rm -rf "$stage"
mkdir -p "$stage/BENCH"
bin="$root/build/$arch/bin"
cp "$bin/prelaunch.exe" "$stage/BENCH.EXE"
cp "$bin/floor.exe" "$stage/FLOOR.EXE"
cp "$bin/stamp.exe" "$stage/BENCH/STAMP.EXE"
cp "$bin/sample_control.ocx" "$stage/BENCH/DEMOCTRL.OCX"
cp "$root/examples/DEMO/chime.wav" "$stage/BENCH/"
sed 's/^ProgramName=.*/ProgramName=STAMP.EXE/' "$root/examples/DEMO/DEMO.ini" > "$stage/BENCH/BENCH.ini"

# One server for all runs (wine_prepare leaves it up), so that none pays for
# starting it; ended with the script.
wine_prepare

declare -A times peak
# run <who> <exe> [argument]: one run from the stage folder; adds its time and peak.
run() {
  local who=$1 stamp="$stage/BENCH/stamp.txt"
  shift
  rm -f "$stamp" "$work/rss.txt"
  (cd "$stage" && /usr/bin/time -f %M -o "$work/rss.txt" "$PRELAUNCH_WINE" "$@" >/dev/null 2>&1) || true
  local us rss
  us=$(tr -cd '0-9' < "$stamp" 2>/dev/null || true)
  rss=$(tail -1 "$work/rss.txt" 2>/dev/null || true)
  [[ "$us" =~ ^[0-9]+$ ]] && times[$who]+="$us "
  [[ "$rss" =~ ^[0-9]+$ ]] && [ "$rss" -gt "${peak[$who]:-0}" ] && peak[$who]=$rss
  return 0
}
# First runs only warm up: Wine's desktop, the disk cache, the control's registration.
run launcher BENCH.EXE
run floor FLOOR.EXE 'BENCH\STAMP.EXE'
times=([launcher]="" [floor]="")
peak=()
for _ in $(seq "$runs"); do
  run launcher BENCH.EXE
  run floor FLOOR.EXE 'BENCH\STAMP.EXE'
done

# Median in ms of the microseconds in $1, "n/a" without any.
median_ms() {
  [ -n "$1" ] || { echo n/a; return; }
  printf '%s\n' $1 | sort -n |
    awk '{a[NR] = $1} END {m = NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; printf "%.1f", m / 1000}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a+0 > 0 && b+0 > 0) printf "%.2f", a/b; else print "n/a"}'; }
row() { printf '%-44s %9s %9s %15s\n' "$1" "$2" "$3" "$(ratio "$2" "$3")"; }
in_ms() { for us in $1; do awk -v us="$us" 'BEGIN {printf " %.1f", us / 1000}'; done; }

printf '%-44s %9s %9s %15s\n' "" launcher floor launcher/floor
row "32-bit exe, bytes" "$launcher_size" "$floor_size"
row "32-bit exe without its bitmap, bytes" "$launcher_bare" "$floor_bare"
row "start to CreateProcess, ms ($arch, median)" "$(median_ms "${times[launcher]}")" "$(median_ms "${times[floor]}")"
row "peak resident memory, KiB ($arch)" "${peak[launcher]:-n/a}" "${peak[floor]:-n/a}"
echo "runs, ms: launcher$(in_ms "${times[launcher]}")"
echo "          floor   $(in_ms "${times[floor]}")"
