// SPDX-License-Identifier: GPL-2.0-or-later
// The two conversions, code page to UTF-16 and back, over a code page's tables.
#ifndef VELM_PLATFORM_CONVERSIONS_H
#define VELM_PLATFORM_CONVERSIONS_H

#include "code_page_tables.h"
#include "codepage.h"

#include <cstdint>
#include <cstring>

namespace platform {

// Eight bytes read as one word, in the machine's byte order.
inline std::uint64_t load_word(const void *bytes) noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Sets the calling thread's last error; returns 0, a failed call's result.
int fail(DWORD error) noexcept;

// The counts and results of MultiByteToWideChar and WideCharToMultiByte, whose arguments the
// caller has checked. srclen >= 1 for bytes_to_units.
int bytes_to_units(const CodePage &page, const unsigned char *src, int srclen, WCHAR *dst,
                   int dstlen) noexcept;
int units_to_bytes(const CodePage &page, DWORD flags, const WCHAR *src, int srclen, char *dst,
                   int dstlen) noexcept;

// The same for code page 65001, which has no tables: srclen >= 1 for both.
int utf8_to_units(const char *src, int srclen, WCHAR *dst, int dstlen) noexcept;
int units_to_utf8(const WCHAR *src, int srclen, char *dst, int dstlen) noexcept;

} // namespace platform

#endif
