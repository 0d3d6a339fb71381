// SPDX-License-Identifier: GPL-2.0-or-later
// ASCII text between bytes and units: the conversions' fast paths, and the conversion of ASCII
// text where a code page's tables cannot be read.
#ifndef VELM_PLATFORM_ASCII_COPY_H
#define VELM_PLATFORM_ASCII_COPY_H

#include "codepage.h"

#include <cstddef>

namespace platform {

// Each copies all `length` characters and tells whether all of them were ASCII.
bool widen_ascii(const unsigned char *src, std::size_t length, WCHAR *dst) noexcept;
bool narrow_ascii(const WCHAR *src, std::size_t length, char *dst) noexcept;

// ASCII reads alike in every code page the layer offers, so ASCII text converts without the
// tables. The arguments are those of MultiByteToWideChar and WideCharToMultiByte, checked by the
// caller; srclen >= 1 for ascii_bytes_to_units. -1 when the text is not all ASCII.
int ascii_bytes_to_units(const unsigned char *src, int srclen, WCHAR *dst, int dstlen) noexcept;
int ascii_units_to_bytes(const WCHAR *src, int srclen, char *dst, int dstlen) noexcept;

} // namespace platform

#endif
