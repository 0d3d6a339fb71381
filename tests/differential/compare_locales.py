#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Compares the ANSI code page that the Linux layer derives from a locale name with
the one that Windows' own GetACP() gives, under Wine, with the same locale
environment.

The names are those that the Linux layer decides by a rule of its own: each
language of its table, each territory or script that changes a language's
code page, and C and POSIX (corpus_convert --locales lists them). Each is tried
without a codeset: one that names a code page (.UTF-8, .CP1251) decides the Linux layer's
answer by itself, while Wine derives the code page from the language alone. Where Windows' answer is known and the
Linux layer deliberately gives another, the name is listed in the known file
under the reason; an unlisted difference fails, and so does a listed one that no
longer occurs.
"""
import argparse
import os
import subprocess
import sys

from known_list import read_known, unexplained


def acp(command, locale):
    env = dict(os.environ)
    for name in ("LC_ALL", "LC_CTYPE", "LANG"):
        env[name] = locale
    done = subprocess.run(command + ["--acp"], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, check=False)
    sys.stderr.write(done.stderr.decode("utf-8", "replace"))
    words = done.stdout.decode("ascii", "replace").split()
    if done.returncode != 0 or len(words) != 2 or words[0] != "acp":
        sys.exit(f"{' '.join(command)} under {locale} exited with {done.returncode}, "
                 f"printing {done.stdout!r}")
    return int(words[1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux", required=True, help="the Linux build's corpus_convert")
    parser.add_argument("--windows", nargs="+", required=True,
                        help="runner and the Windows build's corpus_convert")
    parser.add_argument("--known", required=True)
    args = parser.parse_args()

    if not os.access(args.linux, os.X_OK):
        sys.exit(f"{args.linux} is missing: build the Linux debug preset first")
    names = subprocess.run([args.linux, "--locales"], stdout=subprocess.PIPE, check=True)
    names = names.stdout.decode("ascii").split()
    if not names:
        sys.exit("the Linux build listed no locale names")

    differences = []
    for locale in names:
        ours, windows = acp([args.linux], locale), acp(args.windows, locale)
        if ours != windows:
            differences.append(f"{locale} linux={ours} windows={windows}")

    known = read_known(args.known)
    explained = [line for line in differences if line in known]
    print(f"{len(names)} locale names compared, {len(differences)} differ "
          f"({len(explained)} known)")
    for line in explained:
        print(f"  known: {line}: {known[line]}")
    return unexplained(differences, known)

if __name__ == "__main__":
    sys.exit(main())
