#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The build a user or a packager makes: no preset, CMake's usual Release build
# with the tests on, once with GCC and once with clang. Warnings are not errors
# here, so a compiler's new warning cannot cost them the module; the tests must
# still pass.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake clang libgtest-dev hexchat-dev python3
for compiler in g++ clang++; do
  echo "== conventional Release build with $compiler"
  tree="build/conventional-$compiler"
  rm -rf "$tree"
  CXX="$compiler" cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$tree" -j"$(nproc)" >"$tree.log" 2>&1 || { cat "$tree.log"; exit 1; }
  echo "warnings: $(grep -c 'warning:' "$tree.log" || true) (not errors in this build)"
  ctest --test-dir "$tree" -j"$(nproc)" --output-on-failure
done
