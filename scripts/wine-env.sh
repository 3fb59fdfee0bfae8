# Sourced by the demo and benchmark scripts: Wine set up as the end-to-end
# tests set it up (tests/e2e/harness.py), with a prefix of its own under build/.
root="${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
# The product itself, the 32-bit exe, under the 32-bit Wine of
# scripts/i386/runner.sh; where that cannot run, the 64-bit build of the same
# sources under the host's Wine.
if [ -z "${PRELAUNCH_DEMO_ARCH:-}" ]; then
  if "$root/scripts/i386/runner.sh" works; then
    PRELAUNCH_DEMO_ARCH=win32
  else
    PRELAUNCH_DEMO_ARCH=win64
    echo "32-bit Wine cannot run here: using the 64-bit build of the same sources" >&2
  fi
fi
if [ "$PRELAUNCH_DEMO_ARCH" = win64 ]; then bits=64; else bits=""; fi
export PRELAUNCH_DEMO_ARCH PRELAUNCH_E2E_ARCH="$PRELAUNCH_DEMO_ARCH"
export PRELAUNCH_WINEPREFIX="${PRELAUNCH_WINEPREFIX:-$root/build/wineprefix$bits}"

# The prefix (made once), a display when none is set and a persistent server,
# all ended when the script exits.
wine_prepare() {
  eval "$(python3 "$root/tests/e2e/harness.py" env)"
  trap 'python3 "$root/tests/e2e/harness.py" finish' EXIT
}
wine() { command "$PRELAUNCH_WINE" "$@"; }
