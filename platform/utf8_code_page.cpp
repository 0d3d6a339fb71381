// SPDX-License-Identifier: GPL-2.0-or-later
// Code page 65001 (UTF-8) for MultiByteToWideChar and WideCharToMultiByte, with the UTF-8
// codec that the converters use: one decoder and one encoder for the whole module.
#include "conversions.h"
#include "utf8_decode.h"
#include "utf8_encode.h"

namespace platform {

// Ill-formed UTF-8 becomes U+FFFD, one per maximal ill-formed subpart, as Windows converts it
// without MB_ERR_INVALID_CHARS; a sequence that the length cuts short is one of them.
int utf8_to_units(const char *src, int srclen, WCHAR *dst, int dstlen) noexcept {
    const auto length = static_cast<std::size_t>(srclen);
    const Utf16Count count = count_utf16_units(src, length);
    // At most one unit a byte, so the count fits an int.
    const auto units = static_cast<int>(count.units);
    if (dstlen == 0) {
        return units;
    }
    if (units > dstlen) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    decode_utf8(src, length, count, dst);
    return units;
}

// A surrogate pair becomes one four-byte sequence, a surrogate without its partner U+FFFD.
int units_to_utf8(const WCHAR *src, int srclen, char *dst, int dstlen) noexcept {
    const auto length = static_cast<std::size_t>(srclen);
    const std::size_t count = count_utf8_bytes(src, length);
    if (count > 0x7FFFFFFF) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const auto bytes = static_cast<int>(count);
    if (dstlen == 0) {
        return bytes;
    }
    if (bytes > dstlen) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    encode_utf8(src, length, dst);
    return bytes;
}

} // namespace platform
