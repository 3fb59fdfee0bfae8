#!/bin/bash
# Makes 32-bit Linux programs (Wine's 32-bit loader) runnable. Where the kernel
# runs them itself this does nothing; where its 32-bit emulation is switched
# off, they run under qemu's user-mode emulation through binfmt_misc.
set -euo pipefail

if /usr/lib/wine/wine --version >/dev/null 2>&1; then exit 0; fi

if ! command -v qemu-i386-static >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
fi
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/qemu-i386" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > "$binfmt/register"
fi
/usr/lib/wine/wine --version >/dev/null
echo "wine32-enable: 32-bit programs run under qemu-i386"
