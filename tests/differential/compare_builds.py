#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Compares the converters of the Linux build with those of the Windows build.

Runs corpus_convert from both builds with the same locale environment and
compares their results case by case. The two must agree byte for byte, except:
- a character that the code page lacks, where Windows gives a best-fit
  substitute and we give "?" (counted, not listed);
- a text whose differences all come from such substitutions (counted): both
  outputs are what converting the text character by character gives, where a
  character and the combining mark after it become the precomposed character
  when the code page has one (WC_COMPOSITECHECK) and, on Windows, also when
  that character has a best-fit substitute;
- the differences listed in the known-differences file, each under the reason
  for it. A difference that is not listed fails the test, and so does a listed
  one that no longer occurs.
"""
import argparse
import os
import subprocess
import sys
import unicodedata

from known_list import read_known, unexplained


def run(command, locale):
    env = dict(os.environ)
    for name in ("LC_ALL", "LC_CTYPE", "LANG"):
        env[name] = locale
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          check=False)
    sys.stderr.write(done.stderr.decode("utf-8", "replace"))
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} exited with {done.returncode}")
    return done.stdout.decode("ascii").replace("\r\n", "\n").splitlines()


def parse(lines, code_page, side):
    if not lines or lines[0] != f"acp {code_page}":
        sys.exit(f"the {side} build's ANSI code page is not {code_page}: "
                 f"{lines[0] if lines else 'no output'}")
    cases = {}
    order = []
    for line in lines[1:]:
        direction, text, result, output = line.split(" ")
        key = (direction, text)
        cases[key] = (result, output)
        order.append(key)
    return cases, order


def unhex(text):
    return b"" if text == "-" else bytes.fromhex(text)


def single_character(text):
    """The one character that a U case's input encodes, or None."""
    try:
        decoded = unhex(text).decode("utf-8")
    except UnicodeDecodeError:
        return None
    return decoded if len(decoded) == 1 else None


def composed(first, second):
    """The precomposed character for a character and a combining mark, or None."""
    if not unicodedata.combining(second):
        return None
    text = unicodedata.normalize("NFC", first + second)
    return text if len(text) == 1 else None


def convert_by_characters(text, table):
    """A text converted with a table of single characters (bytes for each).

    The text is decoded the way the converter does (each ill-formed part
    becomes U+FFFD); a character beyond the Basic Multilingual Plane is two
    UTF-16 units that the code page lacks, two default characters.
    """
    characters = unhex(text).decode("utf-8", "replace")
    output = b""
    at = 0
    while at < len(characters):
        character = characters[at]
        if ord(character) > 0xFFFF:
            output += b"??"
            at += 1
            continue
        if at + 1 < len(characters):
            pair = composed(character, characters[at + 1])
            if pair is not None and table.get(pair, b"?") != b"?":
                output += table[pair]
                at += 2
                continue
        output += table.get(character, b"?")
        at += 1
    return output


def entry(code_page, key, linux, windows):
    return (f"{code_page} {key[0]} {key[1]} linux={linux[0]}:{linux[1]} "
            f"windows={windows[0]}:{windows[1]}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--code-page", type=int, required=True)
    parser.add_argument("--locale", required=True)
    parser.add_argument("--linux", required=True, help="the Linux build's corpus_convert")
    parser.add_argument("--windows", nargs="+", required=True,
                        help="runner and the Windows build's corpus_convert")
    parser.add_argument("--known", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    code_page = args.code_page

    if not os.access(args.linux, os.X_OK):
        sys.exit(f"{args.linux} is missing: build the Linux debug preset first")
    linux, order = parse(run([args.linux], args.locale), code_page, "Linux")
    windows, _ = parse(run(args.windows, args.locale), code_page, "Windows")
    if set(linux) != set(windows):
        sys.exit("the two builds ran different corpora")

    # The code page's repertoire, and what each byte sequence stands for on
    # Windows, from the code page to UTF-8 cases.
    repertoire = set()
    meaning = {}
    for (direction, text), (result, output) in windows.items():
        if direction == "L" and result == "0":
            decoded = unhex(output).decode("utf-8", "replace")
            meaning[text] = decoded
            if len(decoded) == 1:
                repertoire.add(decoded)

    # Each character of the Basic Multilingual Plane as each build converts
    # it on its own; for Windows only where it agrees with ours or where it is
    # a best-fit substitute for our "?".
    ours_table = {}
    best_fit_table = {}
    for (direction, text), (result, output) in linux.items():
        character = single_character(text) if direction == "U" else None
        if character is None or result != "0" or windows[(direction, text)][0] != "0":
            continue
        ours, theirs = unhex(output), unhex(windows[(direction, text)][1])
        ours_table[character] = ours
        best_fit = (ours == b"?" and theirs != b"?" and character not in repertoire
                    and meaning.get(windows[(direction, text)][1]) != character)
        best_fit_table[character] = theirs if best_fit else ours

    figures = {"L": [0, 0, 0], "U1": [0, 0, 0], "U": [0, 0, 0]}  # cases, bytes, differing
    best_fit_characters = 0
    best_fit_texts = 0
    differences = []
    for key in order:
        direction, text = key
        ours, theirs = linux[key], windows[key]
        character = single_character(text) if direction == "U" else None
        group = figures[direction if character is None else "U1"]
        group[0] += 1
        group[1] += len(unhex(ours[1]))
        if ours == theirs:
            continue
        group[2] += 1
        ours_bytes, theirs_bytes = unhex(ours[1]), unhex(theirs[1])
        if direction == "U" and ours[0] == theirs[0] == "0":
            if (character is not None and ours_bytes == b"?" and theirs_bytes != b"?"
                    and character not in repertoire
                    and meaning.get(theirs[1]) != character):
                best_fit_characters += 1
                continue
            if (character is None and convert_by_characters(text, ours_table) == ours_bytes
                    and convert_by_characters(text, best_fit_table) == theirs_bytes):
                best_fit_texts += 1
                continue
        differences.append(entry(code_page, key, ours, theirs))

    known = {line: reason for line, reason in read_known(args.known).items()
             if line.split(" ", 1)[0] == str(code_page)}
    reasons = {}
    for line in differences:
        if line in known:
            reasons[known[line]] = reasons.get(known[line], 0) + 1

    print(f"code page {code_page} ({args.locale}), Linux build against Windows build:")
    for name, label in (("L", "code page to UTF-8"), ("U1", "UTF-8 to code page, "
                        "one character"), ("U", "UTF-8 to code page, texts")):
        cases, size, differing = figures[name]
        print(f"  {label}: {cases} cases, {size} bytes compared, {differing} differ")
    print(f"  best-fit substitutions by Windows where we give '?': "
          f"{best_fit_characters} characters, {best_fit_texts} texts")
    print(f"  other differences: {len(differences)} ({sum(reasons.values())} known)")
    for reason, count in sorted(reasons.items()):
        print(f"    {count:6} {reason}")

    os.makedirs(args.work, exist_ok=True)
    with open(os.path.join(args.work, f"differences-cp{code_page}.txt"), "w",
              encoding="utf-8") as file:
        file.writelines(line + "\n" for line in differences)
    return unexplained(differences, known)


if __name__ == "__main__":
    sys.exit(main())
