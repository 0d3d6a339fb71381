#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds velm-bench in Release and runs it under code pages 1252, 1251 and 65001;
# prints the tables of BENCHMARKS.md. Extra arguments go to velm-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake libbenchmark-dev python3 libglib2.0-dev dbus-daemon
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 >/dev/null
reports=()
for locale in en_US.CP1252 ru_RU.CP1251 C.UTF-8; do
  report=build/bench/report-$locale.json
  env LC_ALL="$locale" build/bench/bin/velm-bench --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_out="$report" \
    --benchmark_out_format=json "$@" >&2
  reports+=("$report")
done
bench/report.py "${reports[@]}"
