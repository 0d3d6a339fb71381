#!/usr/bin/env bash
# Lets a machine whose kernel runs no 32-bit programs run them under qemu's
# user-mode emulation, so that 32-bit Wine (and with it the i686 tests) can
# start. Does nothing where 32-bit programs already run. Needs root: it
# registers a binfmt_misc handler for i386 executables.
set -euo pipefail
cd "$(dirname "$0")/.."
probe=/usr/lib/wine/wine
[ -x "$probe" ] || exit 0
"$probe" --version >/dev/null 2>&1 && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "enable-i386-emulation: 32-bit programs do not run here and only root can register qemu for them" >&2
  exit 0
fi
scripts/install-deps.sh qemu-user-static
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$binfmt/qemu-i386" ]; then
  # ELF, 32-bit, little-endian, executable or shared object, machine i386.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386-static:F\n' "$magic" "$mask" >"$binfmt/register"
fi
if "$probe" --version >/dev/null 2>&1; then
  echo "enable-i386-emulation: 32-bit programs now run under qemu-i386"
else
  echo "enable-i386-emulation: 32-bit programs still do not run" >&2
fi
