#include "utf8_decode.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t replacement = 0xFFFD;

bool in_range(unsigned char byte, unsigned char low, unsigned char high) noexcept {
    return byte >= low && byte <= high;
}

// Decodes the code point at `in` and gives the number of bytes it takes. The
// first byte fixes the length and the range the second byte must lie in
// (which rules out overlong forms, surrogates and values above U+10FFFF);
// later bytes are plain continuation bytes. A byte outside its range ends the
// sequence there: the bytes taken so far become one U+FFFD and that byte
// starts the next one. The terminator is never in range, so decoding never
// passes it.
int decode_sequence(const unsigned char *in, char32_t &code_point) noexcept {
    const unsigned char first = in[0];
    int length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first <= 0x7F) {
        code_point = first;
        return 1;
    }
    if (in_range(first, 0xC2, 0xDF)) {
        length = 2;
        code_point = first & 0x1F;
    } else if (in_range(first, 0xE0, 0xEF)) {
        length = 3;
        code_point = first & 0x0F;
        if (first == 0xE0)
            low = 0xA0;
        else if (first == 0xED)
            high = 0x9F;
    } else if (in_range(first, 0xF0, 0xF4)) {
        length = 4;
        code_point = first & 0x07;
        if (first == 0xF0)
            low = 0x90;
        else if (first == 0xF4)
            high = 0x8F;
    } else {
        code_point = replacement;
        return 1;
    }
    for (int taken = 1; taken < length; ++taken) {
        if (!in_range(in[taken], low, high)) {
            code_point = replacement;
            return taken;
        }
        code_point = (code_point << 6) | (in[taken] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

// True when the eight bytes at `in` are all ASCII. The text has no zero byte
// before its end, so each of them is one unit of its own.
bool eight_ascii_bytes(const unsigned char *in) noexcept {
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    return (word & 0x8080808080808080) == 0;
}

// A two-byte sequence, the form of most Latin, Greek and Cyrillic letters:
// a first byte C2-DF (C0 and C1 would be overlong) and a continuation byte.
// in[1] exists, as in[0] is not the terminator.
bool two_byte_sequence(const unsigned char *in) noexcept {
    return in_range(in[0], 0xC2, 0xDF) && (in[1] & 0xC0) == 0x80;
}

} // namespace

// Both passes take the commonest forms first. An ASCII run is taken eight
// bytes at a time while it lasts; once fewer than eight ASCII bytes are left
// in it, byte by byte up to its end, so that text with short runs between
// accented letters checks each run's length once rather than at every byte.
std::size_t count_utf16_units(const char *utf8, std::size_t length) noexcept {
    std::size_t count = 0;
    auto in = reinterpret_cast<const unsigned char *>(utf8);
    const unsigned char *const end = in + length;
    while (in < end) {
        if (*in <= 0x7F) {
            if (end - in >= 8 && eight_ascii_bytes(in)) {
                in += 8;
                count += 8;
                continue;
            }
            do {
                ++in;
                ++count;
            } while (in < end && *in <= 0x7F);
        } else if (two_byte_sequence(in)) {
            in += 2;
            ++count;
        } else {
            char32_t code_point;
            in += decode_sequence(in, code_point);
            count += code_point > 0xFFFF ? 2 : 1;
        }
    }
    return count;
}

void decode_utf8(const char *utf8, std::size_t length, WCHAR *units) noexcept {
    auto in = reinterpret_cast<const unsigned char *>(utf8);
    const unsigned char *const end = in + length;
    while (in < end) {
        if (*in <= 0x7F) {
            if (end - in >= 8 && eight_ascii_bytes(in)) {
                for (int i = 0; i < 8; ++i)
                    units[i] = in[i];
                in += 8;
                units += 8;
                continue;
            }
            do {
                *units++ = *in++;
            } while (in < end && *in <= 0x7F);
        } else if (two_byte_sequence(in)) {
            *units++ = static_cast<WCHAR>((in[0] & 0x1F) << 6 | (in[1] & 0x3F));
            in += 2;
        } else {
            char32_t code_point;
            in += decode_sequence(in, code_point);
            if (code_point > 0xFFFF) {
                *units++ = static_cast<WCHAR>(0xD800 + ((code_point - 0x10000) >> 10));
                *units++ = static_cast<WCHAR>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
            } else {
                *units++ = static_cast<WCHAR>(code_point);
            }
        }
    }
    *units = 0;
}
