#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs the whole suite with every test program (and the console host in the
# host sessions) under valgrind's memcheck: any error or leak fails the test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev binutils \
  unicode-data python3 valgrind libglib2.0-dev dbus-daemon
cmake --preset memcheck
cmake --build --preset memcheck -j2
ctest --preset memcheck -j2
echo "valgrind lane: ${SECONDS}s"
