#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Fails unless every source file of the tree opens with the licence line, in
# its language's comment and after the shebang line where there is one: C++,
# CMake, shell and Python files, export lists (.def, .map) and any other file
# that starts with a shebang line. Data files (host sessions, corpora,
# expected outputs, text for users) carry none.
set -euo pipefail
cd "$(dirname "$0")/.."
id='SPDX-License-Identifier: GPL-2.0-or-later'
files=$(git ls-files --cached --others --exclude-standard)
checked=0
missing=0
while IFS= read -r file; do
  [ -f "$file" ] || continue
  first=$(head -c 2 "$file" | tr -d '\0')
  case $file in
    *.cpp | *.h | *.inc) want="// $id" ;;
    *.def) want="; $id" ;;
    *.map) want="/* $id */" ;;
    *.cmake | *CMakeLists.txt | *.sh | *.sh.in | *.py) want="# $id" ;;
    *) [ "$first" = '#!' ] || continue; want="# $id" ;;
  esac
  line=1
  [ "$first" = '#!' ] && line=2
  checked=$((checked + 1))
  if [ "$(sed -n "${line}p" "$file")" != "$want" ]; then
    echo "check_spdx_lines: line $line of $file is not: $want" >&2
    missing=$((missing + 1))
  fi
done <<<"$files"
[ "$checked" -gt 0 ] || { echo "check_spdx_lines: FAILED: no source files found" >&2; exit 1; }
[ "$missing" -eq 0 ] || { echo "check_spdx_lines: FAILED: $missing of $checked source files" >&2; exit 1; }
echo "check_spdx_lines: $checked source files, each with the licence line"
