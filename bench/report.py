#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Turns velm-bench's JSON reports into the Markdown tables of BENCHMARKS.md.

Each converter is paired with iconv on the same text; the ratio is iconv's
time divided by the converter's (above 1: the converter is faster). Times are
the medians of the repetitions, CPU time; for vc_eval over MPRIS, which mostly
waits for the bus, wall-clock time too.
usage: report.py REPORT.json...
"""
import json
import sys


def medians(paths):
    times, counters, spreads, walls = {}, {}, {}, {}
    for path in paths:
        with open(path, encoding="utf-8") as report:
            for run in json.load(report)["benchmarks"]:
                name = run["run_name"]
                if run.get("aggregate_name") == "cv":
                    spreads[name] = run["cpu_time"]
                    spreads[name + " wall"] = run["real_time"]
                if run.get("aggregate_name") != "median":
                    continue
                times[name] = run["cpu_time"]
                walls[name] = (run["real_time"], run["time_unit"])
                if "allocations" in run:
                    counters[name] = run["allocations"]
    return times, counters, spreads, walls


def main():
    times, counters, spreads, walls = medians(sys.argv[1:])
    print("| converter | text | ours (ns) | spread | iconv (ns) | spread | ours vs iconv |")
    print("|---|---|---:|---:|---:|---:|---:|")
    for ours, theirs in (("local_to_utf8", "iconv_to_utf8"), ("utf8_to_local", "iconv_from_utf8")):
        for name in sorted(n for n in times if n.startswith(ours + "/")):
            text = name[len(ours) + 1:]
            iconv_name = theirs + "/" + text
            if iconv_name not in times:
                continue
            ratio = times[iconv_name] / times[name]
            print(f"| `{ours}` | {text} | {times[name]:.0f} | {100 * spreads.get(name, 0):.1f} % | "
                  f"{times[iconv_name]:.0f} | {100 * spreads.get(iconv_name, 0):.1f} % | "
                  f"{ratio:.2f}x |")
    print()
    print("| command | time (ns) | heap allocations per call |")
    print("|---|---:|---:|")
    for name in sorted(counters):
        print(f"| `{name}` | {times[name]:.0f} | {counters[name]:g} |")
    mpris = sorted(n for n in walls if n.startswith("mpris_eval/"))
    if mpris:
        print()
        print("| `vc_eval` over MPRIS | wall time | spread | CPU time |")
        print("|---|---:|---:|---:|")
    for name in mpris:
        wall, unit = walls[name]
        print(f"| `{name}` | {wall:.2f} {unit} | {100 * spreads.get(name + ' wall', 0):.1f} % | "
              f"{times[name]:.2f} {unit} |")


if __name__ == "__main__":
    main()
