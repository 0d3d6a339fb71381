// SPDX-License-Identifier: GPL-2.0-or-later
// ASCII text between bytes and units: the fast paths' copies, and conversion without tables.
#include "ascii_copy.h"
#include "conversions.h"

namespace platform {

// ASCII text, the bulk of what is converted, is copied by loops the compiler vectorises: each
// copies the whole text and tells whether all of it was ASCII. If not, the caller converts the
// text again, character by character, over the copy.

bool widen_ascii(const unsigned char *src, std::size_t length, WCHAR *dst) noexcept {
    unsigned char seen = 0;
    for (std::size_t i = 0; i < length; ++i) {
        dst[i] = src[i];
        seen |= src[i];
    }
    return seen < 0x80;
}

bool narrow_ascii(const WCHAR *src, std::size_t length, char *dst) noexcept {
    WCHAR seen = 0;
    for (std::size_t i = 0; i < length; ++i) {
        dst[i] = static_cast<char>(src[i]);
        seen |= src[i];
    }
    return seen < 0x80;
}

int ascii_bytes_to_units(const unsigned char *src, int srclen, WCHAR *dst, int dstlen) noexcept {
    for (int i = 0; i < srclen; ++i) {
        if (src[i] >= 0x80) {
            return -1;
        }
    }
    if (dstlen == 0) {
        return srclen;
    }
    if (dstlen < srclen) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    widen_ascii(src, static_cast<std::size_t>(srclen), dst);
    return srclen;
}

// srclen < 0: up to and including the first zero unit.
int ascii_units_to_bytes(const WCHAR *src, int srclen, char *dst, int dstlen) noexcept {
    std::size_t length = static_cast<std::size_t>(srclen);
    if (srclen < 0) {
        length = 0;
        while (src[length] != 0) {
            ++length;
        }
        if (++length > 0x7FFFFFFF) {
            return fail(ERROR_INVALID_PARAMETER);
        }
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (src[i] >= 0x80) {
            return -1;
        }
    }
    const int count = static_cast<int>(length);
    if (dstlen == 0) {
        return count;
    }
    if (dstlen < count) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    narrow_ascii(src, length, dst);
    return count;
}

} // namespace platform
