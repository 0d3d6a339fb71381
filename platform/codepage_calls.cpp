// SPDX-License-Identifier: GPL-2.0-or-later
// The public calls: MultiByteToWideChar, WideCharToMultiByte and their companions, with
// kernel32's argument checks, counts and error codes.
#include "ascii_copy.h"
#include "code_page_tables.h"
#include "codepage.h"
#include "conversions.h"

#include <cstring>
#include <string>

namespace {

// Last error, per thread as in kernel32. Only failures set it; success leaves it alone.
thread_local DWORD last_error = 0;

bool is_utf8(UINT cp) noexcept {
    return cp == CP_UTF8 || (cp == CP_ACP && GetACP() == CP_UTF8);
}

} // namespace

int platform::fail(DWORD error) noexcept {
    last_error = error;
    return 0;
}

using platform::ascii_bytes_to_units;
using platform::ascii_units_to_bytes;
using platform::bytes_to_units;
using platform::code_page;
using platform::CodePage;
using platform::fail;
using platform::units_to_bytes;
using platform::units_to_utf8;
using platform::utf8_to_units;

DWORD GetLastError() noexcept {
    return last_error;
}

void SetLastError(DWORD error) noexcept {
    last_error = error;
}

int lstrlenA(LPCSTR text) noexcept {
    return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

// Any negative length means "up to and including the terminator", as in kernel32.
int MultiByteToWideChar(UINT cp, DWORD flags, LPCCH src, int srclen, LPWSTR dst,
                        int dstlen) noexcept {
    if (src == nullptr || srclen == 0 || (dst == nullptr && dstlen != 0) || dstlen < 0 ||
        static_cast<const void *>(src) == static_cast<const void *>(dst)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (srclen < 0) {
        const std::size_t length = std::strlen(src);
        if (length >= 0x7FFFFFFF) {
            return fail(ERROR_INVALID_PARAMETER);
        }
        srclen = static_cast<int>(length) + 1;
    }
    // Windows refuses MB_PRECOMPOSED under 65001; callers that pass it retry without it.
    if (is_utf8(cp)) {
        return flags != 0 ? fail(ERROR_INVALID_FLAGS) : utf8_to_units(src, srclen, dst, dstlen);
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(src);
    DWORD error = 0;
    const CodePage *page = code_page(cp, error);
    if (page == nullptr && error == ERROR_INVALID_PARAMETER) {
        return fail(error);
    }
    if (flags & ~MB_PRECOMPOSED) {
        return fail(ERROR_INVALID_FLAGS);
    }
    if (page == nullptr) {
        const int count = ascii_bytes_to_units(bytes, srclen, dst, dstlen);
        return count >= 0 ? count : fail(error);
    }
    return bytes_to_units(*page, bytes, srclen, dst, dstlen);
}

// A caller's default character and the report whether it was used are not offered: such a
// call fails rather than converting differently from what the caller asked for.
int WideCharToMultiByte(UINT cp, DWORD flags, LPCWCH src, int srclen, LPSTR dst, int dstlen,
                        // cppcheck-suppress constParameter ; kernel32's signature
                        LPCCH defchar, LPBOOL used_def) noexcept {
    if (src == nullptr || srclen == 0 || (dst == nullptr && dstlen != 0) || dstlen < 0 ||
        static_cast<const void *>(src) == static_cast<const void *>(dst) || defchar != nullptr ||
        used_def != nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // Windows refuses WC_COMPOSITECHECK (and every other flag) under 65001.
    if (is_utf8(cp)) {
        if (flags != 0) {
            return fail(ERROR_INVALID_FLAGS);
        }
        if (srclen < 0) {
            const std::size_t length = std::char_traits<WCHAR>::length(src);
            if (length >= 0x7FFFFFFF) {
                return fail(ERROR_INVALID_PARAMETER);
            }
            srclen = static_cast<int>(length) + 1;
        }
        return units_to_utf8(src, srclen, dst, dstlen);
    }
    DWORD error = 0;
    const CodePage *page = code_page(cp, error);
    if (page == nullptr && error == ERROR_INVALID_PARAMETER) {
        return fail(error);
    }
    // No best-fit substitutions are made in any case, so WC_NO_BEST_FIT_CHARS changes nothing.
    if (flags & ~(WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS)) {
        return fail(ERROR_INVALID_FLAGS);
    }
    if (page == nullptr) {
        const int count = ascii_units_to_bytes(src, srclen, dst, dstlen);
        return count >= 0 ? count : fail(error);
    }
    return units_to_bytes(*page, flags, src, srclen, dst, dstlen);
}
