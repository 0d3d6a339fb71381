// SPDX-License-Identifier: GPL-2.0-or-later
// ANSI code page to UTF-8: the platform converts to UTF-16, the module's own
// encoder turns UTF-16 into UTF-8. Each stage measures first and allocates
// once.
#include <cstdint>

#include "allocation.h"
#include "codepage.h"
#include "encoding.h"
#include "utf8_encode.h"

namespace {

// Code pages such as UTF-8 refuse MB_PRECOMPOSED; such a call is made once
// more without it.
int to_utf16(const char *local, int length, WCHAR *units, int room) noexcept {
    int count = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, local, length, units, room);
    if (count == 0 && GetLastError() == ERROR_INVALID_FLAGS)
        count = MultiByteToWideChar(CP_ACP, 0, local, length, units, room);
    return count;
}

} // namespace

int local_to_utf8(const char *local, char **result) noexcept {
    // The length is given explicitly, so the terminator is not converted: an
    // empty text counts no units and fails.
    const int length = lstrlenA(local);
    const int count = to_utf16(local, length, nullptr, 0);
    // The second test matters where size_t has 32 bits.
    if (count == 0 || static_cast<std::size_t>(count) >= SIZE_MAX / sizeof(WCHAR))
        return -1;

    auto *units =
        static_cast<WCHAR *>(velm_malloc(static_cast<std::size_t>(count) * sizeof(WCHAR)));
    if (units == nullptr)
        return -1;
    if (to_utf16(local, length, units, count) != count) {
        velm_free(units);
        return -1;
    }

    const auto units_length = static_cast<std::size_t>(count);
    const std::size_t size = count_utf8_bytes(units, units_length);
    char *utf8 = static_cast<char *>(velm_malloc(size + 1));
    if (utf8 == nullptr) {
        *result = nullptr;
        velm_free(units);
        return -1;
    }
    encode_utf8(units, units_length, utf8);
    utf8[size] = '\0';
    *result = utf8;
    velm_free(units);
    return 0;
}
