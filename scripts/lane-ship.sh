#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# What a user and a newcomer meet: the demo as the README runs it (without a
# terminal), installing into the per-user plug-in folder, the benchmarks in
# Release (built and run once, untimed), the Debian package with its files
# checked and the two Windows zips that CPack makes for users (cross-built
# with mingw-w64; SKIPPED loudly where that cannot be installed), with the
# licence's notice and text.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev \
  binutils unicode-data python3 unzip libglib2.0-dev dbus-daemon

mkdir -p build # a fresh clone has none yet; the demo's log goes there
echo "== demo"
scripts/demo.sh </dev/null >build/demo.log
grep -q 'is listening to Beyoncé - Déjà Vu' build/demo.log
grep -q 'is listening to Лёша Морозов - Зимняя ночь' build/demo.log
echo "demo: ran both sessions"

echo "== install into the per-user plug-in folders"
home=$PWD/build/install-home
rm -rf "$home" build/user-install
cmake --preset release -B build/user-install -DVELM_INSTALL_USER_PLUGIN=ON \
  -DVELM_USER_PLUGIN_DIR="$home/.xchat2" \
  -DVELM_HEXCHAT_USER_PLUGIN_DIR="$home/.config/hexchat/addons" >/dev/null
cmake --build build/user-install -j2 --target velm_xchat velm_hexchat >/dev/null
cmake --install build/user-install >/dev/null
test -f "$home/.xchat2/velm_xchat.so"
test -f "$home/.config/hexchat/addons/velm_hexchat.so"
echo "install: $home/.xchat2/velm_xchat.so, $home/.config/hexchat/addons/velm_hexchat.so"

echo "== benchmarks (Release, run once untimed)"
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 >/dev/null
for locale in en_US.CP1252 ru_RU.CP1251 C.UTF-8; do
  env LC_ALL="$locale" build/bench/bin/velm-bench --benchmark_min_time=0 >build/bench-smoke.log 2>&1
  if grep -q 'ERROR OCCURRED' build/bench-smoke.log; then
    cat build/bench-smoke.log
    exit 1
  fi
done
echo "benchmarks: built and ran"

echo "== Debian package"
scripts/install-deps.sh lintian
deb=$(scripts/build-deb.sh)
tests/package/check_deb.sh "$deb"

echo "== Windows packages"
# Listings are read whole before grep -q looks at them: with pipefail, a grep
# that stops at the first match would fail the pipe with SIGPIPE.
presets="$(cmake --list-presets)"
if ! grep -q '"mingw-i686-release"' <<<"$presets"; then
  echo "packages: no Windows cross-build presets in this tree, skipped"
  exit 0
fi
if ! scripts/install-deps.sh mingw-w64; then
  echo "######## lane-ship: SKIPPED, the Windows zips were NOT built: mingw-w64 cannot be installed ########"
  exit 0
fi
rm -rf build/packages
for arch in i686 x86_64; do
  cmake --preset "mingw-$arch-release" >/dev/null
  cmake --build --preset "mingw-$arch-release" -j2 >/dev/null
  cpack --config "build/mingw-$arch-release/CPackConfig.cmake" -B build/cpack >/dev/null
  zip_files=(build/packages/velm_xchat-*-windows-"$arch".zip)
  listing="$(unzip -l "${zip_files[0]}")"
  grep -q '/velm_xchat.dll$' <<<"$listing"
  grep -q '/velm_hexchat.dll$' <<<"$listing"
  grep -q '/velm_xchat.txt$' <<<"$listing"
  grep -q '/LICENSE.txt$' <<<"$listing"
  unzip -p "${zip_files[0]}" '*/COPYING.txt' | tr -d '\r' | cmp - /usr/share/common-licenses/GPL-2
done
ls build/packages
