#!/bin/bash
# Runs every fuzz target for a while by hand: scripts/fuzz.sh [seconds each, 60].
# Builds the host tree when needed; fuzzes a scratch copy of each corpus, so
# the committed corpus changes only when someone copies a finding into it.
# Exits non-zero when any target found something (kept in build/host/fuzz/findings).
set -u
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
if [ ! -d build/host/fuzz ] || ! ls build/host/fuzz/*_fuzz >/dev/null 2>&1; then
  cmake --preset host >/dev/null && cmake --build --preset host -j2 --target host_fuzz || exit 1
else
  cmake --build build/host/fuzz -j2 >/dev/null || exit 1
fi
findings=build/host/fuzz/findings
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
for binary in build/host/fuzz/*_fuzz; do
  name=$(basename "$binary" _fuzz)
  mkdir -p "$scratch/$name"
  cp -r "tests/fuzz/corpus/$name/." "$scratch/$name/" 2>/dev/null
  echo "== $name: ${seconds}s"
  if ! "$binary" -detect_leaks=0 -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$scratch/$name" >"$scratch/$name.log" 2>&1; then
    grep -E "property broken|ERROR|SUMMARY|Test unit written" "$scratch/$name.log"
    failed=1
  else
    grep -E "^Done" "$scratch/$name.log"
  fi
done
exit $failed
