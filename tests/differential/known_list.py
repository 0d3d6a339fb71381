# SPDX-License-Identifier: GPL-2.0-or-later
"""Reads a list of known differences: "reason: TEXT" lines, each followed by the
entries it explains; blank lines and lines starting with # are skipped."""
import sys


def read_known(path):
    """Each entry of the file, mapped to its reason."""
    known = {}
    reason = None
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("reason:"):
                reason = line[len("reason:"):].strip()
            elif reason is None:
                sys.exit(f"{path}:{number}: an entry before any reason")
            else:
                known[line] = reason
    return known


def unexplained(differences, known):
    """Prints each difference the list does not explain and each listed one that no
    longer occurs; 1 when there is any, 0 otherwise."""
    new = [line for line in differences if line not in known]
    stale = sorted(set(known) - set(differences))
    for line in new:
        print(f"NEW {line}")
    for line in stale:
        print(f"GONE (listed as known, no longer differs) {line}")
    return 1 if new or stale else 0
