#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Finds out how this machine runs 32-bit (i386) programs and prints one word:
#   native    the kernel runs them itself;
#   emulated  they run under qemu's user-mode emulation (registered here with
#             binfmt_misc when the kernel refuses them; needs root);
#   none      they cannot run here.
# The answer comes from running a 96-byte i386 program that exits with 42, not
# from the machine's name or kind.
set -euo pipefail
cd "$(dirname "$0")/.."

probe="$(mktemp)"
trap 'rm -f "$probe"' EXIT
# ELF header, one program header, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >"$probe"
chmod +x "$probe"
runs() { local code=0; "$probe" 2>/dev/null || code=$?; [ "$code" -eq 42 ]; }

binfmt=/proc/sys/fs/binfmt_misc
handler="$binfmt/qemu-i386"
# A registered qemu handler takes i386 programs before the kernel does: ask the
# kernel itself with the handler switched off for the moment of the probe.
if [ -e "$handler" ] && grep -qx enabled "$handler" && [ -w "$handler" ]; then
  echo 0 >"$handler"
  native=0
  runs && native=1
  echo 1 >"$handler"
  if [ "$native" -eq 1 ]; then echo native; else echo emulated; fi
  exit 0
fi
if runs; then
  if [ -e "$handler" ] && grep -qx enabled "$handler"; then echo emulated; else echo native; fi
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "enable-i386-emulation: 32-bit programs do not run here and only root can register qemu for them" >&2
  echo none
  exit 0
fi
if ! scripts/install-deps.sh qemu-user-static >&2; then
  echo "enable-i386-emulation: qemu-user-static could not be installed" >&2
  echo none
  exit 0
fi
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" >&2 || true
if [ -e "$binfmt/register" ] && [ ! -e "$handler" ]; then
  # ELF, 32-bit, little-endian, executable or shared object, machine i386.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf ':qemu-i386:M::%s:%s:/usr/bin/qemu-i386-static:F\n' "$magic" "$mask" >"$binfmt/register" || true
fi
if runs; then
  echo "enable-i386-emulation: 32-bit programs now run under qemu-i386" >&2
  echo emulated
else
  echo "enable-i386-emulation: 32-bit programs still do not run" >&2
  echo none
fi
