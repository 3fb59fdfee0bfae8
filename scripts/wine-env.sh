# Sourced by the demo and benchmark scripts: a 32-bit Wine prefix under
# build/, a virtual display when none is set, and quiet Wine but for the
# debugger channel (the trace log).
root="${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
# Under emulation 32-bit Wine costs minutes per process: use the 64-bit build
# of the same sources there unless asked otherwise.
if [ -z "${PRELAUNCH_DEMO_ARCH:-}" ]; then
  if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then PRELAUNCH_DEMO_ARCH=win64; else PRELAUNCH_DEMO_ARCH=win32; fi
fi
export PRELAUNCH_DEMO_ARCH
if [ "$PRELAUNCH_DEMO_ARCH" = win64 ]; then
  export WINEPREFIX="${PRELAUNCH_WINEPREFIX:-$root/build/wineprefix64}"
  export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  wine() { /usr/lib/wine/wine64 "$@"; }
  wineboot() { /usr/lib/wine/wine64 wineboot "$@"; }
  wineserver() { /usr/lib/wine/wineserver64 "$@"; }
else
  export WINEPREFIX="${PRELAUNCH_WINEPREFIX:-$root/build/wineprefix}"
  export WINEARCH=win32
fi
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
    local qemu=/proc/sys/fs/binfmt_misc/qemu-i386
    # A 64-bit prefix would also set up its 32-bit half, under emulation: skip that.
    if [ "$PRELAUNCH_DEMO_ARCH" = win64 ] && [ -e $qemu ]; then echo 0 > $qemu; fi
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    if [ "$PRELAUNCH_DEMO_ARCH" = win64 ] && [ -e $qemu ]; then echo 1 > $qemu; fi
  fi
}
