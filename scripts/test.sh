#!/bin/bash
# Runs every test: the host unit tests (plain and with ASan/UBSan) and the
# end-to-end tests of the real exe under Wine, all through one ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
cd "$root"
cmake --preset host >/dev/null
cmake --build --preset host -j2
ctest --preset host "$@"
