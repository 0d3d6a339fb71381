#include "utf8_encode.h"

namespace {

// Reads one code point and advances past it. Units outside the surrogate
// range, nearly all of them, are their own code point.
char32_t next_code_point(const WCHAR *&unit) noexcept {
    const char32_t first = *unit++;
    if (first < 0xD800 || first > 0xDFFF)
        return first;
    if (first <= 0xDBFF && *unit >= 0xDC00 && *unit <= 0xDFFF)
        return 0x10000 + ((first - 0xD800) << 10) + (*unit++ - 0xDC00);
    return 0xFFFD;
}

} // namespace

std::size_t count_utf8_bytes(const WCHAR *units) noexcept {
    std::size_t total = 0;
    while (*units != 0) {
        const char32_t code_point = next_code_point(units);
        total += code_point <= 0x7F ? 1 : code_point <= 0x7FF ? 2 : code_point <= 0xFFFF ? 3 : 4;
    }
    return total;
}

void encode_utf8(const WCHAR *units, char *utf8) noexcept {
    while (*units != 0) {
        const char32_t code_point = next_code_point(units);
        if (code_point <= 0x7F) {
            *utf8++ = static_cast<char>(code_point);
        } else if (code_point <= 0x7FF) {
            *utf8++ = static_cast<char>(0xC0 | code_point >> 6);
            *utf8++ = static_cast<char>(0x80 | (code_point & 0x3F));
        } else if (code_point <= 0xFFFF) {
            *utf8++ = static_cast<char>(0xE0 | code_point >> 12);
            *utf8++ = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
            *utf8++ = static_cast<char>(0x80 | (code_point & 0x3F));
        } else {
            *utf8++ = static_cast<char>(0xF0 | code_point >> 18);
            *utf8++ = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
            *utf8++ = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
            *utf8++ = static_cast<char>(0x80 | (code_point & 0x3F));
        }
    }
    *utf8 = '\0';
}
