// The UTF-8 encoder behind local_to_utf8, in two passes that step through the
// units identically: count the bytes, then write them.
#pragma once

#include <cstddef>

#include "codepage.h"

// Bytes that encode_utf8 writes for the `length` units at `units`, terminator
// not included. units[length] is zero; a zero unit before it ends the text
// there too.
std::size_t count_utf8_bytes(const WCHAR *units, std::size_t length) noexcept;

// Writes the UTF-8 form of the `length` units at `units` (read as for
// count_utf8_bytes) and a terminating zero byte. A surrogate pair becomes one
// four-byte sequence; a surrogate without its partner becomes U+FFFD.
void encode_utf8(const WCHAR *units, std::size_t length, char *utf8) noexcept;
