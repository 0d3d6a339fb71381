#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks the Debian package's files against what users and Debian expect:
#   check_deb.sh PACKAGE.deb
# - exactly these files, each where it belongs: the HexChat module in the folder
#   from which HexChat loads its system-wide plug-ins, the client library in the
#   package's private folder (never in the loader's global path), the text the
#   failure messages point to, an example configuration, copyright and changelog;
# - the module finds the library through its RUNPATH, and through nothing else;
# - the control fields that are not computed, and lintian without an error.
set -euo pipefail
deb=$1
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
fail() { echo "check_deb: FAILED: $*" >&2; exit 1; }

expected="./usr/lib/$multiarch/hexchat/plugins/velm_hexchat.so
./usr/lib/$multiarch/velm-xchat/libvc.so
./usr/share/doc/velm-xchat/changelog.gz
./usr/share/doc/velm-xchat/copyright
./usr/share/doc/velm-xchat/examples/mpris.conf
./usr/share/doc/velm-xchat/readme.txt"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort)
[ "$files" = "$expected" ] || fail "the files differ from those expected:
$(diff <(echo "$expected") <(echo "$files"))"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
dynamic=$(readelf -d "$unpacked/usr/lib/$multiarch/hexchat/plugins/velm_hexchat.so")
runpath=$(sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p' <<<"$dynamic")
[ "$runpath" = "/usr/lib/$multiarch/velm-xchat" ] || fail "the module's RUNPATH is '$runpath'"
grep -q 'RPATH)' <<<"$dynamic" && fail "the module has an RPATH besides its RUNPATH"
grep -q 'NEEDED.*\[libvc.so\]' <<<"$dynamic" || fail "the module does not need libvc.so"
soname=$(readelf -d "$unpacked/usr/lib/$multiarch/velm-xchat/libvc.so" |
  sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libvc.so ] || fail "the library's soname is '$soname'"

for field in Package=velm-xchat Architecture=amd64 Enhances=hexchat Suggests=mpv-mpris; do
  value=$(dpkg-deb -f "$deb" "${field%%=*}")
  [ "$value" = "${field#*=}" ] || fail "${field%%=*} is '$value'"
done
dpkg-deb -f "$deb" Depends | grep -q 'libglib2.0-0' ||
  fail "Depends, computed from the files, lacks GLib: $(dpkg-deb -f "$deb" Depends)"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" || fail "lintian reports errors"
else
  echo "check_deb: SKIPPED lintian: not installed" >&2
fi
echo "check_deb: $deb holds what it should"
