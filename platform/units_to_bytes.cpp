// SPDX-License-Identifier: GPL-2.0-or-later
// UTF-16 to code page: WideCharToMultiByte's conversion.
#include "composition.h"
#include "conversions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform {
namespace {

// Non-zero when one of the eight bytes of `word` is zero (and only then).
std::uint64_t has_zero_byte(std::uint64_t word) noexcept {
    return (word - 0x0101010101010101) & ~word & 0x8080808080808080;
}

// A single-byte code page, and dst with room for a byte per unit. Writes them and returns
// true, unless a unit lies in `marks` or no unit is its own byte (what it wrote is then of
// no use, and the caller converts unit by unit).
// Most units of Latin text stand for the byte of the same value: those below 0x80, and those
// from page.same_byte_from up to U+00FF. A first loop, which the compiler vectorises, writes
// those, a zero for every other unit, and looks for marks. Then each word of eight bytes that
// holds a zero is looked up in the table whole (a zero unit among them, too, is its own byte).
// Text in another script has a zero in almost every word, and costs about one lookup a unit.
bool units_to_single_bytes(const CodePage &page, const WCHAR *src, std::size_t length, char *dst,
                           MarkRange marks) noexcept {
    // Units from ascii_end up to same_byte_from are not their own byte. Where no unit
    // is (a code page whose low half is not ASCII, and no Latin-1 range), the caller's
    // loop takes the units one by one.
    const unsigned char ascii_end = page.ascii ? 0x80 : 0;
    if (page.same_byte_from - ascii_end > 0xFF) {
        return false;
    }
    const auto gap = static_cast<unsigned char>(page.same_byte_from - ascii_end);
    std::int16_t least = INT16_MAX;
    for (std::size_t i = 0; i < length; ++i) {
        const WCHAR unit = src[i];
        const auto low = static_cast<unsigned char>(unit);
        const auto high = static_cast<unsigned char>(unit >> 8);
        const bool own = (high == 0) & (static_cast<unsigned char>(low - ascii_end) >= gap);
        dst[i] = static_cast<char>(own ? low : 0);
        least = std::min(least, mark_distance(unit, marks));
    }
    if (is_mark_distance(least, marks)) {
        return false;
    }
    const unsigned char *table = page.to_byte.data();
    std::size_t i = 0;
    for (; length - i >= 8; i += 8) {
        if (has_zero_byte(load_word(dst + i)) != 0) {
            // All loads before the stores: the loads of one unit do not wait for another's store.
            unsigned char bytes[8];
            for (std::size_t j = 0; j < 8; ++j) {
                bytes[j] = table[src[i + j]];
            }
            std::memcpy(dst + i, bytes, sizeof bytes);
        }
    }
    for (; i < length; ++i) {
        dst[i] = static_cast<char>(table[src[i]]);
    }
    return true;
}

} // namespace

// A unit the code page lacks becomes the default character: never a failure. With
// WC_COMPOSITECHECK a base character and the mark after it that compose to a character of the
// code page become that one character; otherwise both are converted separately.
// srclen < 0: up to and including the first zero unit, found on the way rather than by a
// separate pass.
int units_to_bytes(const CodePage &page, DWORD flags, const WCHAR *src, int srclen, char *dst,
                   int dstlen) noexcept {
    const bool composite_check = (flags & WC_COMPOSITECHECK) != 0;
    const bool to_terminator = srclen < 0;
    const std::size_t end = to_terminator ? SIZE_MAX : static_cast<std::size_t>(srclen);
    if (!page.dbcs && !to_terminator && (dstlen == 0 || dstlen >= srclen)) {
        const MarkRange marks = composite_check ? page.composing_marks : MarkRange{0xFFFF, 0};
        if (dstlen == 0 ? !has_composing_mark(src, end, marks)
                        : units_to_single_bytes(page, src, end, dst, marks)) {
            return srclen;
        }
    }

    const std::uint16_t *table = page.from_unicode.data();
    std::size_t out = 0;
    for (std::size_t i = 0; i < end; ++i) {
        const WCHAR unit = src[i];
        std::uint16_t code = table[unit];
        // A unit other than zero is never the last one when converting up to the terminator.
        if (composite_check && unit != 0 && i + 1 < end && is_composing_mark(src[i + 1])) {
            const WCHAR composed = compose(unit, src[i + 1]);
            if (composed != 0 && table[composed] != unmapped) {
                code = table[composed];
                ++i;
            }
        }
        if (code == unmapped) {
            code = default_char;
        }
        if (code <= 0xFF) {
            if (dstlen != 0) {
                if (out == static_cast<std::size_t>(dstlen)) {
                    return fail(ERROR_INSUFFICIENT_BUFFER);
                }
                dst[out] = static_cast<char>(code);
            }
            ++out;
        } else {
            if (dstlen != 0) {
                if (out + 2 > static_cast<std::size_t>(dstlen)) {
                    return fail(ERROR_INSUFFICIENT_BUFFER);
                }
                dst[out] = static_cast<char>(code >> 8);
                dst[out + 1] = static_cast<char>(code & 0xFF);
            }
            out += 2;
        }
        if (to_terminator && unit == 0) {
            break;
        }
    }
    return out > 0x7FFFFFFF ? fail(ERROR_INVALID_PARAMETER) : static_cast<int>(out);
}

} // namespace platform
