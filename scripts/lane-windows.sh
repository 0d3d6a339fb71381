#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows lanes: cross-builds velm_xchat.dll for i686 and x86_64 with
# mingw-w64, runs the tests under Wine (each build tree has its own prefix),
# checks the module files and compares the converters with the Linux build's.
# A test that cannot run here is counted as skipped, and a loud line says so.
set -euo pipefail
cd "$(dirname "$0")/.."
# The native debug build (for the comparison's corpus_convert) needs the
# tools and libraries its configuration looks for.
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev mingw-w64 googletest \
  wine wine64 hexchat-dev python3 libglib2.0-dev
# Without the 32-bit loader the i686 files are still built and checked; only
# the tests that run them are skipped.
if ! scripts/install-deps.sh wine32:i386; then
  echo "lane-windows: wine32:i386 could not be installed: the i686 tests that run programs will be SKIPPED"
fi
jobs="$(nproc)"
i386="$(scripts/enable-i386-emulation.sh)"
echo "lane-windows: 32-bit programs here: $i386"

# The comparison of the two builds runs the Linux build's corpus_convert.
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$jobs" --target corpus_convert

loud=()
for arch in i686 x86_64; do
  cmake --preset "mingw-$arch"
  cmake --build --preset "mingw-$arch" -j"$jobs"
  # Creates the Wine prefix before the tests, or says why it cannot.
  "build/mingw-$arch/wine-run.sh" --version || true
  # Under qemu every 32-bit Wine process starts slowly (a minute or more): there
  # the i686 lane runs the module's own tests, one host session of each command,
  # the demo under code page 65001 and the comparison with Linux in code pages
  # 1251, 1252 and 65001. Where 32-bit programs run
  # natively, it runs everything, as the x86_64 lane does.
  subset=()
  if [ "$arch" = i686 ] && [ "$i386" = emulated ]; then
    subset=(-R '^(module_|fresh_module_test|host_tests|wine_run_|host_session_(np_announces_in_utf8|vc_reaches_service|demo_utf8)$|same_bytes_as_linux_cp(125[12]|65001)$)')
    loud+=("i686: 32-bit programs run only under qemu here, so only a subset of the i686 tests ran")
  fi
  log="build/mingw-$arch/ctest.log"
  ctest --preset "mingw-$arch" -j"$jobs" "${subset[@]}" 2>&1 | tee "$log"
  skipped="$(grep -c '(Skipped)$' "$log" || true)"
  if [ "$skipped" -gt 0 ]; then
    loud+=("$arch: $skipped tests SKIPPED, NOT RUN: $(grep -m1 -o 'wine-run: SKIPPED: .*' "$log" || echo 'see the log')")
  fi

  cmake --preset "mingw-$arch-release"
  cmake --build --preset "mingw-$arch-release" -j"$jobs"
  # Verbose, so that the log shows the stripped module's size.
  ctest --preset "mingw-$arch-release" -j"$jobs" --verbose | grep -v '^[0-9]*: Test command:'
done

for line in "${loud[@]}"; do
  echo "lane-windows: *** $line ***"
done
