# Sourced by the demo and benchmark scripts: a 32-bit Wine prefix under
# build/, a virtual display when none is set, and quiet Wine but for the
# debugger channel (the trace log).
root="${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${PRELAUNCH_WINEPREFIX:-$root/build/wineprefix}"
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="-all,warn+debugstr"

wine_prepare() {
  if [ -z "${DISPLAY:-}" ]; then
    local display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
    export DISPLAY=$display
    sleep 1
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating the prefix $WINEPREFIX (slow the first time)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}
