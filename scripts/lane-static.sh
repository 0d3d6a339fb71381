#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Static analysis of the product code (the module, the UTF-8 codec, the code-page services)
# and of the console host and the stand-in service: clang-tidy with the
# repository's .clang-tidy, then cppcheck. Any finding fails the lane, and so do a
# source file without its licence line and a relative link of the README or docs/
# that leads nowhere.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/check_spdx_lines.sh
scripts/install-deps.sh build-essential cmake libgtest-dev libbenchmark-dev hexchat-dev python3 \
  clang-tidy cppcheck libglib2.0-dev
cmake --preset debug >/dev/null # the compile commands clang-tidy follows
sources='/(plugin|encoding|utf8|platform|host|standin|render|mpris)/[^/]*\.cpp$'
run-clang-tidy -p build/debug -j2 -quiet "$sources"
cppcheck --std=c++20 --library=posix --enable=warning,style,performance,portability \
  --inline-suppr --suppressions-list=tools/cppcheck-suppressions.txt --error-exitcode=1 \
  --quiet -U_WIN32 -I include -I platform -I plugin -I encoding -I utf8 -I host -I render -I mpris \
  plugin encoding utf8 platform host standin render mpris
python3 tools/check_links.py
echo "static analysis lane: ${SECONDS}s"
