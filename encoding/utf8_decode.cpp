#include "utf8_decode.h"

namespace {

constexpr char32_t replacement = 0xFFFD;

bool in_range(unsigned char byte, unsigned char low, unsigned char high) noexcept {
    return byte >= low && byte <= high;
}

// Decodes one code point and advances past it. The first byte fixes the
// length and the range the second byte must lie in (which rules out overlong
// forms, surrogates and values above U+10FFFF); later bytes are plain
// continuation bytes. A byte outside its range ends the sequence there: the
// bytes taken so far become one U+FFFD and that byte starts the next one. The
// terminator is never in range, so decoding never passes it.
char32_t next_code_point(const unsigned char *&in) noexcept {
    const unsigned char first = *in++;
    int continuation;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t code_point;
    if (first <= 0x7F)
        return first;
    if (in_range(first, 0xC2, 0xDF)) {
        continuation = 1;
        code_point = first & 0x1F;
    } else if (in_range(first, 0xE0, 0xEF)) {
        continuation = 2;
        code_point = first & 0x0F;
        if (first == 0xE0)
            low = 0xA0;
        else if (first == 0xED)
            high = 0x9F;
    } else if (in_range(first, 0xF0, 0xF4)) {
        continuation = 3;
        code_point = first & 0x07;
        if (first == 0xF0)
            low = 0x90;
        else if (first == 0xF4)
            high = 0x8F;
    } else {
        return replacement;
    }
    for (; continuation > 0; --continuation) {
        if (!in_range(*in, low, high))
            return replacement;
        code_point = (code_point << 6) | (*in++ & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return code_point;
}

} // namespace

std::size_t count_utf16_units(const char *utf8) noexcept {
    std::size_t count = 0;
    for (auto in = reinterpret_cast<const unsigned char *>(utf8); *in != 0;)
        count += next_code_point(in) > 0xFFFF ? 2 : 1;
    return count;
}

void decode_utf8(const char *utf8, WCHAR *units) noexcept {
    for (auto in = reinterpret_cast<const unsigned char *>(utf8); *in != 0;) {
        const char32_t code_point = next_code_point(in);
        if (code_point > 0xFFFF) {
            *units++ = static_cast<WCHAR>(0xD800 + ((code_point - 0x10000) >> 10));
            *units++ = static_cast<WCHAR>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        } else {
            *units++ = static_cast<WCHAR>(code_point);
        }
    }
    *units = 0;
}
