// ASCII text copied between bytes and units, a whole text at a time.
#include "ascii_copy.h"

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

} // namespace platform
