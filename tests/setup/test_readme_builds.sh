#!/bin/bash
# Every build line of the README's "Building for Windows" runs as written, in a
# scratch copy of the sources (so a developer's own build folders are left
# alone), and makes an exe that scripts/check_exe.sh passes.
# Usage: test_readme_builds.sh <source folder> <scratch folder>
set -euo pipefail
root=$1 scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$root" && tar --exclude=./build --exclude=./.git -cf - .) | tar -xf - -C "$scratch"
mapfile -t lines < <(awk '/^## /{section = $0; next}
  section == "## Building for Windows" && /^```sh/ {block = 1; next}
  block && /^```/ {block = 0}
  block' "$root/README.md")
(( ${#lines[@]} >= 2 )) || { echo "fewer than two build lines under \"## Building for Windows\" in README.md"; exit 1; }
for line in "${lines[@]}"; do
  command=${line%%#*}
  # Each preset builds into build/<its name>.
  preset=$(grep -oE -- '--preset +[A-Za-z0-9_-]+' <<<"$command" | head -1 | awk '{print $2}')
  [ -n "$preset" ] || { echo "no preset in: $line"; exit 1; }
  tree=build/$preset
  echo "== $command"
  (cd "$scratch" && bash -euo pipefail -c "$command")
  "$root/scripts/check_exe.sh" "$scratch/$tree/bin/prelaunch.exe"
done
