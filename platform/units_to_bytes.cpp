// UTF-16 to code page: WideCharToMultiByte's conversion.
#include "composition.h"
#include "conversions.h"

#include <cstdint>

namespace platform {
namespace {

// A single-byte code page and a text in which nothing composes: one byte per unit, whatever
// the flags. dst has room for all of them. `ascii`: the text is all ASCII, and so is the code
// page below 0x80.
void units_to_single_bytes(const CodePage &page, const WCHAR *src, std::size_t length, char *dst,
                           bool ascii) noexcept {
    if (ascii) {
        for (std::size_t i = 0; i < length; ++i) {
            dst[i] = static_cast<char>(src[i]);
        }
        return;
    }
    // Four units a step: the loads of one do not wait for the stores of another.
    const unsigned char *table = page.to_byte.data();
    std::size_t i = 0;
    for (; length - i >= 4; i += 4) {
        const unsigned char a = table[src[i]];
        const unsigned char b = table[src[i + 1]];
        const unsigned char c = table[src[i + 2]];
        const unsigned char d = table[src[i + 3]];
        dst[i] = static_cast<char>(a);
        dst[i + 1] = static_cast<char>(b);
        dst[i + 2] = static_cast<char>(c);
        dst[i + 3] = static_cast<char>(d);
    }
    for (; i < length; ++i) {
        dst[i] = static_cast<char>(table[src[i]]);
    }
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
        const MarkScan scan = scan_for_marks(src, end, page.composing_marks);
        if (!(composite_check && scan.mark)) {
            if (dstlen != 0) {
                units_to_single_bytes(page, src, end, dst, page.ascii && scan.ascii);
            }
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
