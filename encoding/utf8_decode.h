// The UTF-8 decoder behind utf8_to_local, in two passes that step through the
// text identically: count the UTF-16 units, then write them.
#pragma once

#include <cstddef>

#include "codepage.h"

// Units that decode_utf8 writes for `utf8`, terminator not included. `length`
// is the text's length before its terminator (strlen).
std::size_t count_utf16_units(const char *utf8, std::size_t length) noexcept;

// Writes the UTF-16 form of `utf8` (of `length` bytes before its terminator)
// and a terminating zero unit. Every ill-formed part (stray continuation
// byte, overlong form, encoded surrogate, value above U+10FFFF, sequence cut
// short) becomes one U+FFFD per maximal subpart and decoding goes on with the
// next byte; nothing past the terminator is read.
void decode_utf8(const char *utf8, std::size_t length, WCHAR *units) noexcept;
