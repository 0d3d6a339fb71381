// SPDX-License-Identifier: GPL-2.0-or-later
// The UTF-8 decoder behind utf8_to_local and code page 65001 of the POSIX
// code-page layer, in two passes: count the UTF-16 units, then write them.
#pragma once

#include <cstddef>

#include "utf16_unit.h"

struct Utf16Count {
    std::size_t units;
    // Well-formed throughout (no U+FFFD either): the decoder may skip its
    // checks.
    bool plain;
};

// Units that decode_utf8 writes for the `length` bytes at `utf8`, and whether
// the text is plain. Exactly those bytes are read: a zero byte among them is a
// unit like any other, and nothing after them need exist. Plain text is
// counted by a loop the compiler vectorises; from the first block that is
// not, sequence by sequence.
Utf16Count count_utf16_units(const char *utf8, std::size_t length) noexcept;

// Writes the UTF-16 form of the `length` bytes at `utf8` (read as for
// count_utf16_units): exactly count.units units, no terminator. Every
// ill-formed part (stray continuation byte, overlong form, encoded surrogate,
// value above U+10FFFF, sequence cut short by the end) becomes one U+FFFD per
// maximal subpart and decoding goes on with the next byte. `count` is what
// count_utf16_units gave for the same text; with plain false the text is
// decoded with every check, whatever it holds.
void decode_utf8(const char *utf8, std::size_t length, Utf16Count count, Utf16Unit *units) noexcept;
