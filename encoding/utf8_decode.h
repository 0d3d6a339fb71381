// The UTF-8 decoder behind utf8_to_local, in two passes: count the UTF-16
// units, then write them.
#pragma once

#include <cstddef>

#include "codepage.h"

struct Utf16Count {
    std::size_t units; // terminator not included
    // Well-formed, in sequences of one to three bytes and none starting with E0
    // or ED: the decoder may skip its checks.
    bool plain;
};

// Units that decode_utf8 writes for `utf8`, and whether the text is plain.
// `length` is the text's length before its terminator (strlen). Plain text is
// counted by a loop the compiler vectorises; from the first block that is
// not, sequence by sequence.
Utf16Count count_utf16_units(const char *utf8, std::size_t length) noexcept;

// Writes the UTF-16 form of `utf8` (of `length` bytes before its terminator)
// and a terminating zero unit. Every ill-formed part (stray continuation
// byte, overlong form, encoded surrogate, value above U+10FFFF, sequence cut
// short) becomes one U+FFFD per maximal subpart and decoding goes on with the
// next byte; nothing past the terminator is read. `count` is what
// count_utf16_units gave for the same text; with plain false the text is
// decoded with every check, whatever it holds.
void decode_utf8(const char *utf8, std::size_t length, Utf16Count count, WCHAR *units) noexcept;
