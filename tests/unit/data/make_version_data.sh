#!/bin/sh
# Rebuilds the version-resource test files: resource-only PE32 DLLs made by
# the cross tools from the resource scripts here, and from the end-to-end
# component template with the version 2.10.0.5. The results are committed so
# the host tests need no cross tools.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
template="$here/../../e2e/fixtures/component.rc.in"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sed -e 's/@COMPONENT_VERSION_COMMAS@/2,10,0,5/g' -e 's/@COMPONENT_VERSION@/2.10.0.5/g' \
    -e 's/@COMPONENT_EXTRA_STRINGS@/VALUE "OLESelfRegister", "\\0"/' \
    "$template" > "$work/versioned.rc"
cp "$here"/*.rc "$work/"

for script in "$work"/*.rc; do
  name=$(basename "$script" .rc)
  i686-w64-mingw32-windres "$script" -O coff -o "$work/$name.o"
  i686-w64-mingw32-gcc -shared -nostdlib -s -Wl,--entry,0 -Wl,--no-insert-timestamp \
    -o "$here/$name.dll" "$work/$name.o"
done
