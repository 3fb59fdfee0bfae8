#!/bin/sh
# One fuzz target as ctest runs it: its committed corpus replayed, then a
# fixed number of runs from a fixed seed, so a run is the same every time.
# New inputs go to a scratch folder, never into the corpus; a finding is kept
# in the findings folder. No leak checks: the launcher takes nothing from the C
# heap, and the simulation keeps its record of calls across runs by design
# (with them, every run of a target that goes through files is a heap scan).
set -eu
target=$1 corpus=$2 findings=$3 runs=$4
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$target" -seed=1 -detect_leaks=0 -runs="$runs" -timeout=20 -print_final_stats=1 \
  -artifact_prefix="$findings/$(basename "$target")-" "$scratch" "$corpus"
