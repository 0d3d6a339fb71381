#include "utf8_encode.h"

namespace {

// Reads one code point and advances past it.
char32_t next_code_point(const WCHAR *&unit) noexcept {
    const char32_t first = *unit++;
    if (first >= 0xD800 && first <= 0xDBFF && *unit >= 0xDC00 && *unit <= 0xDFFF)
        return 0x10000 + ((first - 0xD800) << 10) + (*unit++ - 0xDC00);
    if (first >= 0xD800 && first <= 0xDFFF)
        return 0xFFFD;
    return first;
}

std::size_t utf8_length(char32_t code_point) noexcept {
    if (code_point <= 0x7F)
        return 1;
    if (code_point <= 0x7FF)
        return 2;
    return code_point <= 0xFFFF ? 3 : 4;
}

} // namespace

std::size_t count_utf8_bytes(const WCHAR *units) noexcept {
    std::size_t total = 0;
    while (*units != 0)
        total += utf8_length(next_code_point(units));
    return total;
}

void encode_utf8(const WCHAR *units, char *utf8) noexcept {
    static const unsigned char lead[] = {0, 0x00, 0xC0, 0xE0, 0xF0};
    while (*units != 0) {
        char32_t code_point = next_code_point(units);
        const std::size_t length = utf8_length(code_point);
        for (std::size_t i = length - 1; i > 0; --i) {
            utf8[i] = static_cast<char>(0x80 | (code_point & 0x3F));
            code_point >>= 6;
        }
        utf8[0] = static_cast<char>(lead[length] | code_point);
        utf8 += length;
    }
    *utf8 = '\0';
}
