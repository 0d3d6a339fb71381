#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Counts the instructions of each converter stage with callgrind.

Runs velm-instructions under callgrind for each converter and iconv on each
2 KiB text and prints a Markdown table: instructions per call and per input
byte, in total and for each stage (inclusive counts: a stage's callees are
part of it). Counts do not depend on the machine's load.
usage: instructions.py BIN_DIR
"""
import os
import re
import subprocess
import sys
import tempfile

CALLS = 100
TEXTS = (("en_US.CP1252", "ascii/2048"), ("en_US.CP1252", "western/2048"),
         ("ru_RU.CP1251", "cyrillic/2048"), ("C.UTF-8", "utf8_ascii/2048"),
         ("C.UTF-8", "utf8_mixed/2048"))
STAGES = {
    "local_to_utf8": ("lstrlenA", "MultiByteToWideChar", "count_utf8_bytes", "encode_utf8",
                      "velm_malloc", "velm_free"),
    "utf8_to_local": ("count_utf16_units", "decode_utf8", "WideCharToMultiByte", "velm_malloc",
                      "velm_free"),
}
TOTAL = {"local_to_utf8": "local_to_utf8", "utf8_to_local": "utf8_to_local",
         "iconv_to_utf8": "measured_iconv_calls", "iconv_from_utf8": "measured_iconv_calls"}
LINE = re.compile(r"^\s*([\d,]+) \([^)]*\)\s+[^:]*:([A-Za-z_][\w:]*)")


def inclusive_counts(bin_dir, locale, converter, text):
    """Instructions of each function, callees included, over CALLS calls, and the
    length of the input."""
    with tempfile.TemporaryDirectory() as scratch:
        out = os.path.join(scratch, "callgrind.out")
        run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out,
                              "--toggle-collect=measured_*",
                              os.path.join(bin_dir, "velm-instructions"), converter, text,
                              str(CALLS)],
                             env=dict(os.environ, LC_ALL=locale, LANG=locale), check=True,
                             capture_output=True, text=True)
        size = int(run.stdout.split()[0])
        annotated = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--threshold=100",
                                    out], check=True, capture_output=True, text=True).stdout
    counts = {}
    for line in annotated.splitlines():
        match = LINE.match(line)
        if match:
            name = match.group(2)
            counts[name] = counts.get(name, 0) + int(match.group(1).replace(",", ""))
    return counts, size


def main():
    bin_dir = sys.argv[1]
    for ours, theirs in (("local_to_utf8", "iconv_to_utf8"), ("utf8_to_local", "iconv_from_utf8")):
        stages = STAGES[ours]
        print(f"| `{ours}` | iconv | ours | " + " | ".join(f"`{s}`" for s in stages) + " |")
        print("|---|---:|---:|" + "---:|" * len(stages))
        for locale, text in TEXTS:
            counts, size = inclusive_counts(bin_dir, locale, ours, text)
            iconv = inclusive_counts(bin_dir, locale, theirs, text)[0][TOTAL[theirs]]
            cells = [f"{counts.get(stage, 0) / CALLS / size:.1f}" for stage in stages]
            print(f"| {text} ({size} bytes) | {iconv / CALLS / size:.1f} | "
                  f"{counts[TOTAL[ours]] / CALLS / size:.1f} | " + " | ".join(cells) + " |")
        print()


if __name__ == "__main__":
    main()
