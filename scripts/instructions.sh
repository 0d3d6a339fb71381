#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds velm-instructions in Release and counts, with callgrind, the
# instructions of each converter stage and of iconv on the 2 KiB texts; prints
# the instruction table of BENCHMARKS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libbenchmark-dev python3 valgrind libglib2.0-dev
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target velm-instructions >/dev/null
bench/instructions.py build/bench/bin
