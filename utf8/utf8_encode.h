// SPDX-License-Identifier: GPL-2.0-or-later
// The UTF-8 encoder behind local_to_utf8 and code page 65001 of the POSIX
// code-page layer, in two passes that step through the units identically:
// count the bytes, then write them.
#pragma once

#include <cstddef>

#include "utf16_unit.h"

// Bytes that encode_utf8 writes for the `length` units at `units`. Exactly
// those units are read: a zero unit among them is a byte like any other.
std::size_t count_utf8_bytes(const Utf16Unit *units, std::size_t length) noexcept;

// Writes the UTF-8 form of the `length` units at `units`: exactly the bytes
// that count_utf8_bytes gave, no terminator. A surrogate pair becomes one
// four-byte sequence; a surrogate without its partner becomes U+FFFD.
void encode_utf8(const Utf16Unit *units, std::size_t length, char *utf8) noexcept;
