#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Checks every relative link in README.md and docs/*.md: the file it names
exists, and so does the heading its #anchor names (headings as GitHub makes
anchors of them). Prints each broken link and exits 1 if there is one."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")


def anchors(path):
    """The anchors of a Markdown file's headings, outside code blocks."""
    names, fenced = set(), False
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced and line.startswith("#"):
            title = line.lstrip("#").strip().lower()
            names.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return names


def broken_links(page):
    for target in LINK.findall(page.read_text(encoding="utf-8")):
        if re.match(r"[a-z]+:", target):
            continue  # a web address or mail: not ours to check here
        name, _, anchor = target.partition("#")
        linked = (page.parent / name).resolve() if name else page
        if not linked.exists():
            yield f"{page.relative_to(ROOT)}: {target}: no such file"
        elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
            yield f"{page.relative_to(ROOT)}: {target}: no such heading"


def main():
    pages = [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md"))
    broken = [line for page in pages for line in broken_links(page)]
    for line in broken:
        print(line)
    print(f"links: {len(pages)} pages checked, {len(broken)} broken")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
