#!/usr/bin/env bash
# The Windows lanes: cross-builds velm_xchat.dll for i686 and x86_64 with
# mingw-w64, runs the tests under Wine (each build tree has its own prefix),
# checks the module files and compares the converters with the Linux build's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh mingw-w64 googletest wine wine64 wine32:i386 hexchat-dev python3
jobs="$(nproc)"

# The comparison of the two builds runs the Linux build's corpus_convert.
cmake --preset debug >/dev/null
cmake --build --preset debug -j"$jobs" --target corpus_convert

for arch in i686 x86_64; do
  cmake --preset "mingw-$arch"
  cmake --build --preset "mingw-$arch" -j"$jobs"
  # Creates the Wine prefix before the tests, or says why it cannot.
  if ! "build/mingw-$arch/wine-run.sh" --version; then
    echo "lane-windows: Wine cannot run $arch programs here; those tests are skipped," \
      "the $arch files are built and checked"
  fi
  ctest --preset "mingw-$arch" -j"$jobs"

  cmake --preset "mingw-$arch-release"
  cmake --build --preset "mingw-$arch-release" -j"$jobs"
  # Verbose, so that the log shows the stripped module's size.
  ctest --preset "mingw-$arch-release" -j"$jobs" --verbose | grep -v '^[0-9]*: Test command:'
done
