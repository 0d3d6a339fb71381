#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the module, the host, the stand-in service and every test with
# AddressSanitizer and UndefinedBehaviorSanitizer, then runs the whole suite.
# Any report fails the test that produced it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev binutils \
  unicode-data python3 libglib2.0-dev dbus-daemon
cmake --preset asan
cmake --build --preset asan -j2
ctest --preset asan -j2
echo "sanitizer lane: ${SECONDS}s"
