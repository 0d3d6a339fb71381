#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Sets up a Debian 12 machine and runs every test of the project.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev binutils \
  unicode-data python3 libglib2.0-dev dbus-daemon
cmake --preset debug
cmake --build --preset debug -j"$(nproc)"
ctest --preset debug -j"$(nproc)"
scripts/lane-hexchat.sh
scripts/lane-conventional.sh
scripts/lane-windows.sh
scripts/lane-ship.sh
scripts/lane-sanitizers.sh
scripts/lane-valgrind.sh
scripts/lane-fuzz.sh
scripts/lane-static.sh
