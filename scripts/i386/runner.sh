#!/bin/bash
# Runs i386 programs here without touching the host: the i386 unit tests, and
# a 32-bit Wine from a small Debian chroot for the shipped exe. Where the
# kernel runs no 32-bit code, i386 programs start under a qemu 10 (Debian 13's;
# Debian 12's qemu 7.2 cannot start a second thread in a 32-bit Wine process),
# registered in a binfmt_misc private to a user and mount namespace, so the
# host's own binfmt entries stay as they are.
#
#   runner.sh make                    makes the chroot and qemu once, in the cache
#   runner.sh works                   exit 0 when 32-bit Wine runs here this way
#   runner.sh wine PROGRAM [ARG...]   runs Wine's PROGRAM (wine, wineserver) in the chroot
#   runner.sh linux PROGRAM [ARG...]  runs a Linux i386 program of the host
#
# The cache is $PRELAUNCH_CACHE (default ~/.cache/prelaunch): about 1.3 GB.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
cache="${PRELAUNCH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/prelaunch}"
chroot_dir="$cache/wine32-root"
qemu="$cache/qemu-i386"
# Bumped whenever what `make` puts in the cache changes.
recipe="wine32-root 1: bookworm minbase, wine wine32:i386; qemu-i386 from trixie's qemu-user"
stamp="$cache/wine32.ready"
suite=bookworm
qemu_suite=trixie
# The ELF header of an i386 executable, as binfmt_misc matches it.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

say() { echo "i386 runner: $*" >&2; }

# The host's Debian mirror (its first non-security one), or deb.debian.org.
mirror() {
  if [ -n "${PRELAUNCH_DEBIAN_MIRROR:-}" ]; then echo "$PRELAUNCH_DEBIAN_MIRROR"; return; fi
  local found
  found=$( { sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null
             sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p' \
               /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null; } |
           tr ' ' '\n' | grep -E '^https?://.*/debian/?$' | head -n 1 || true)
  echo "${found:-http://deb.debian.org/debian}"
}

# apt-get update, once more when a list fails (a mirror mid-sync).
apt_update() {
  "$@" update -q >/dev/null 2>"$cache/apt-update.log" && return 0
  say "apt-get update failed, trying once more: $(tail -n 3 "$cache/apt-update.log")"
  sleep 5
  "$@" update -q >/dev/null
}

make_chroot() {
  local new="$chroot_dir.new" url
  url=$(mirror)
  rm -rf "$new"
  say "making a $suite chroot with 32-bit Wine in $chroot_dir from $url (about a minute)"
  debootstrap --variant=minbase --arch=amd64 "$suite" "$new" "$url" >"$cache/debootstrap.log" 2>&1 || {
    say "debootstrap failed: $(tail -n 5 "$cache/debootstrap.log")"; return 1; }
  # The mirror's main only: a security list that is mid-sync must not hold Wine back.
  echo "deb $url $suite main" > "$new/etc/apt/sources.list"
  chroot "$new" dpkg --add-architecture i386
  mount --bind /proc "$new/proc"
  local status=0
  {
    apt_update chroot "$new" apt-get &&
      DEBIAN_FRONTEND=noninteractive chroot "$new" apt-get install -y -q --no-install-recommends \
        wine wine32:i386 >"$cache/wine-install.log" 2>&1 &&
      chroot "$new" apt-get clean
  } || status=$?
  umount "$new/proc"
  if [ $status -ne 0 ]; then
    say "installing Wine in the chroot failed: $(tail -n 5 "$cache/wine-install.log" 2>/dev/null)"
    return 1
  fi
  rm -rf "$chroot_dir"
  mv "$new" "$chroot_dir"
}

# Debian 13's static qemu-i386, fetched with apt's own lists kept in the cache.
make_qemu() {
  local apt="$cache/apt-$qemu_suite" url
  url=$(mirror)
  rm -rf "$apt"
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/unpacked"
  echo "deb $url $qemu_suite main" > "$apt/sources.list"
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
                 -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt" -o APT::Architectures=amd64
                 -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  say "fetching qemu-user from $qemu_suite"
  apt_update apt-get "${options[@]}"
  (cd "$apt" && apt-get "${options[@]}" download -q qemu-user >/dev/null)
  dpkg-deb -x "$apt"/qemu-user_*.deb "$apt/unpacked"
  cp "$apt/unpacked/usr/bin/qemu-i386" "$qemu.new"
  mv "$qemu.new" "$qemu"
  rm -rf "$apt"
  "$qemu" --version | head -n 1 >&2
}

make_cache() {
  mkdir -p "$cache"
  exec 9>"$cache/wine32.lock"
  flock 9
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then return 0; fi
  command -v debootstrap >/dev/null || { say "debootstrap is missing"; return 1; }
  local started=$SECONDS
  rm -f "$stamp"
  make_chroot
  make_qemu
  mkdir -p "$cache/binfmt"
  echo "$recipe" > "$stamp"
  say "cache made in $((SECONDS - started)) s: $(du -sh "$cache" | cut -f1) in $cache"
}

ready() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ] ||
    { say "no 32-bit Wine in $cache: run '$0 make' first"; exit 1; }
}

# Inside the namespaces: a binfmt_misc of our own, where qemu runs i386
# programs unless the kernel runs them itself.
private_binfmt() {
  mount -t binfmt_misc binfmt_misc "$cache/binfmt"
  mount --rbind /proc "$chroot_dir/proc"
  # PRELAUNCH_I386_EMULATE=1 takes qemu even where the kernel runs i386 code,
  # to try the emulated path on such a machine.
  if [ -n "${PRELAUNCH_I386_EMULATE:-}" ] ||
     ! chroot "$chroot_dir" /usr/lib/wine/wine --version >/dev/null 2>&1; then
    printf ":qemu-i386:M::$i386_magic:$i386_mask:$qemu:F" > "$cache/binfmt/register"
  fi
}

# bind <host path>: the same path inside the chroot.
bind() {
  [ -e "$1" ] && [ "$1" != / ] || return 0
  mkdir -p "$chroot_dir$1"
  mount --rbind "$1" "$chroot_dir$1"
}

inner() {
  local kind=$1
  shift
  private_binfmt
  if [ "$kind" = linux ]; then exec "$@"; fi
  mount --rbind /dev "$chroot_dir/dev"
  mount --rbind /sys "$chroot_dir/sys"
  bind /tmp/.X11-unix
  # The repository (build trees, prefixes, scenario folders), the prefix and
  # the working directory, at the paths the caller knows them by.
  bind "$repo"
  case "${WINEPREFIX:-}" in "$repo"/*|"") ;; *) bind "$WINEPREFIX" ;; esac
  case "$PWD" in "$repo"|"$repo"/*) ;; *) bind "$PWD" ;; esac
  # A UTF-8 Unix locale, so that Wine maps non-ASCII file names.
  export LANG=C.UTF-8
  unset LC_ALL
  exec chroot "$chroot_dir" /bin/sh -c 'cd "$0" 2>/dev/null || cd /; exec "$@"' "$PWD" \
    "/usr/lib/wine/$1" "${@:2}"
}

# A killed caller takes the program with it (--kill-child); what the program
# starts (Wine's server and services) lives on, as Wine needs.
enter() {
  ready
  exec unshare --user --map-root-user --mount --fork --kill-child "$here/runner.sh" inner "$@"
}

command=${1:-}
shift || true
case "$command" in
  make) make_cache ;;
  works)
    ready
    out=$(unshare --user --map-root-user --mount --fork "$here/runner.sh" inner wine wine --version 2>&1) || {
      say "32-bit Wine does not start here: $out"; exit 1; }
    how=natively
    if unshare --user --map-root-user --mount --fork "$here/runner.sh" inner linux \
         grep -q '^enabled' "$cache/binfmt/qemu-i386" 2>/dev/null; then
      how="under $("$qemu" --version | head -n 1)"
    fi
    say "$out runs $how"
    ;;
  wine) [ $# -ge 1 ] || exit 2; enter wine "$@" ;;
  linux) [ $# -ge 1 ] || exit 2; enter linux "$@" ;;
  inner) inner "$@" ;;
  *) echo "usage: $0 make|works|wine PROGRAM [ARG...]|linux PROGRAM [ARG...]" >&2; exit 2 ;;
esac
