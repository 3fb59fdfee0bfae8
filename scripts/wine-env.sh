# Sourced by the demo and benchmark scripts: Wine set up as the end-to-end
# tests set it up (tests/e2e/harness.py), with a prefix of its own under build/.
root="${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
# Under emulation 32-bit Wine costs minutes per process: use the 64-bit build
# of the same sources there unless asked otherwise.
if [ -z "${PRELAUNCH_DEMO_ARCH:-}" ]; then
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then PRELAUNCH_DEMO_ARCH=win64; else PRELAUNCH_DEMO_ARCH=win32; fi
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
