// SPDX-License-Identifier: GPL-2.0-or-later
// Code page to UTF-16: MultiByteToWideChar's conversion.
#include "ascii_copy.h"
#include "conversions.h"

#include <bit>
#include <cstdint>

namespace platform {
namespace {

// Byte `index` of a word loaded from memory, whatever the machine's byte order.
unsigned byte_of(std::uint64_t word, int index) noexcept {
    const int shift = std::endian::native == std::endian::little ? 8 * index : 56 - 8 * index;
    return static_cast<unsigned>(word >> shift) & 0xFF;
}

// One table lookup a byte, the bytes read eight at a time with one load.
void look_up_bytes(const CodePage &page, const unsigned char *src, int count, WCHAR *dst) noexcept {
    int i = 0;
    for (; count - i >= 8; i += 8) {
        const std::uint64_t word = load_word(src + i);
        for (int k = 0; k < 8; ++k) {
            dst[i + k] = page.single[byte_of(word, k)];
        }
    }
    for (; i < count; ++i) {
        dst[i] = page.single[src[i]];
    }
}

// Whether at most a quarter of `count` bytes, up to 64 (the text's first), are from 0x80 on, as
// in Latin text: a loop the compiler vectorises.
bool mostly_ascii(const unsigned char *src, std::size_t count) noexcept {
    unsigned char high = 0;
    for (std::size_t i = 0; i < count; ++i) {
        high = static_cast<unsigned char>(high + (src[i] >> 7));
    }
    return high <= count / 4;
}

// Text already widened as ASCII, for code pages that read ASCII as ASCII: the bytes whose unit
// the widening did not give, from 0x80 up to the page's same_byte_from, are looked up, found
// eight bytes at a time. Such a byte's low seven bits plus 0x100 - same_byte_from stay below
// 0x80, a sum that carries into no other byte of the word.
void look_up_high_bytes(const CodePage &page, const unsigned char *src, std::size_t count,
                        WCHAR *dst) noexcept {
    const std::uint64_t bias = (0x100 - page.same_byte_from) * 0x0101010101010101;
    std::size_t i = 0;
    for (; count - i >= 8; i += 8) {
        const std::uint64_t word = load_word(src + i);
        std::uint64_t others = word & ~((word & 0x7F7F7F7F7F7F7F7F) + bias) & 0x8080808080808080;
        for (; others != 0; others &= others - 1) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(others)
                                                                       : std::countl_zero(others);
            const std::size_t k = i + static_cast<std::size_t>(bit / 8);
            dst[k] = page.single[src[k]];
        }
    }
    for (; i < count; ++i) {
        dst[i] = page.single[src[i]];
    }
}

} // namespace

// A lead byte followed by a non-zero byte takes that byte as its trail, whether or not the
// pair is defined; an undefined pair, and a lead byte at the end of the input or before a
// zero byte, become the code page's default unit (932: U+30FB, others '?'). This is what
// Wine's kernel32 does; the zero byte is then converted on its own.
int bytes_to_units(const CodePage &page, const unsigned char *src, int srclen, WCHAR *dst,
                   int dstlen) noexcept {
    if (!page.dbcs) {
        if (dstlen == 0) {
            return srclen;
        }
        // Mostly ASCII text, in a code page that reads ASCII as ASCII, is widened whole and its
        // other bytes looked up; any other text is looked up whole.
        const auto count = static_cast<std::size_t>(srclen < dstlen ? srclen : dstlen);
        if (!page.ascii || !mostly_ascii(src, count < 64 ? count : 64)) {
            look_up_bytes(page, src, static_cast<int>(count), dst);
        } else if (!widen_ascii(src, count, dst)) {
            look_up_high_bytes(page, src, count, dst);
        }
        return srclen > dstlen ? fail(ERROR_INSUFFICIENT_BUFFER) : static_cast<int>(count);
    }
    int out = 0;
    for (int i = 0; i < srclen; ++out) {
        WCHAR unit = 0;
        if (const unsigned row = page.lead_row[src[i]]) {
            if (i + 1 < srclen && src[i + 1] != 0) {
                unit = page.pairs[pair_index(row, src[i + 1])];
                i += 2;
            } else {
                unit = page.uni_default;
                ++i;
            }
        } else {
            unit = page.single[src[i++]];
        }
        if (dstlen != 0) {
            if (out == dstlen) {
                return fail(ERROR_INSUFFICIENT_BUFFER);
            }
            dst[out] = unit;
        }
    }
    return out;
}

} // namespace platform
