#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the libFuzzer targets and runs each from its committed seeds for a
# bounded time: local_to_utf8 once for each of four ANSI code pages (1252,
# 1251, 932 and 65001, chosen through LC_ALL), the others once.
# VELM_FUZZ_SECONDS sets the time of each run (default 45), VELM_FUZZ_RUNS a
# number of executions instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build-essential cmake clang libclang-rt-14-dev
cmake --preset fuzz
cmake --build --preset fuzz -j2

limit=(-max_total_time="${VELM_FUZZ_SECONDS:-45}")
[ -n "${VELM_FUZZ_RUNS:-}" ] && limit=(-runs="$VELM_FUZZ_RUNS")
work=build/fuzz/runs
rm -rf "$work"

# Freed blocks wait in a small quarantine: the fuzzer then reuses memory
# instead of faulting in fresh pages on every run, which costs most of its time.
export ASAN_OPTIONS=quarantine_size_mb=16:malloc_context_size=10
export UBSAN_OPTIONS=print_stacktrace=1

# run TARGET LOCALE: new inputs go to a scratch corpus; the seeds stay as committed.
run() {
  local target=$1 locale=$2
  local dir=$work/$target-$locale
  mkdir -p "$dir/corpus" "$dir/artifacts"
  if ! LC_ALL=$locale LANG=$locale "build/fuzz/bin/fuzz_$target" "${limit[@]}" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
    "$dir/corpus" "fuzz/corpus/$target" >"$dir/log" 2>&1; then
    tail -n 60 "$dir/log"
    echo "fuzz_$target under $locale failed; the input is in $dir/artifacts/" >&2
    exit 1
  fi
  local executions speed coverage
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log")
  coverage=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1)
  echo "fuzz_$target ($locale): $executions executions, $speed/s, $coverage, no findings"
}

run local_to_utf8 en_US.CP1252
run local_to_utf8 ru_RU.CP1251
run local_to_utf8 ja_JP.CP932
run local_to_utf8 C.UTF-8
run utf8_to_local en_US.CP1252
run vc_command en_US.CP1252
run render C.UTF-8
echo "fuzz lane: ${SECONDS}s"
