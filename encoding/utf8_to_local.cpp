// SPDX-License-Identifier: GPL-2.0-or-later
// UTF-8 to the ANSI code page: the module's own decoder produces UTF-16, the
// platform converts UTF-16 to the code page. Every failure is reported on the
// standard error stream.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "allocation.h"
#include "codepage.h"
#include "encoding.h"
#include "utf8_decode.h"

namespace {

// Code pages such as UTF-8 refuse WC_COMPOSITECHECK; such a call is made once
// more without it. `length` counts the terminator too, so the result does.
int from_utf16(const WCHAR *units, int length, char *local, int room) noexcept {
    int count = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, units, length, local, room, nullptr,
                                    nullptr);
    if (count == 0 && GetLastError() == ERROR_INVALID_FLAGS)
        count = WideCharToMultiByte(CP_ACP, 0, units, length, local, room, nullptr, nullptr);
    return count;
}

void report_translation_error() noexcept {
    // Read before any output: writing may change the thread's last error.
    const long error = static_cast<long>(GetLastError());
    // Formatted by hand, digits from the last: on Windows, printf-style
    // formatting would link the C++ runtime's own printf into the module,
    // twice its size, and std::to_chars brings a table of its own.
    static const char prefix[] = "Unicode translation error ";
    char line[sizeof prefix + 24];
    char *first = line + sizeof line - 2;
    first[0] = '\n';
    first[1] = '\0';
    long rest = error;
    do {
        // A remainder takes the sign of the number: its magnitude is the digit.
        *--first = static_cast<char>('0' + std::labs(rest % 10));
        rest /= 10;
    } while (rest != 0);
    // Negative only where long has 32 bits, as on Windows, for a DWORD above 0x7FFFFFFF.
    // cppcheck-suppress knownConditionTrueFalse ; long has 64 bits where the analysis runs
    if (error < 0)
        *--first = '-';
    first -= sizeof prefix - 1;
    std::memcpy(first, prefix, sizeof prefix - 1);
    std::fputs(first, stderr);
}

} // namespace

int utf8_to_local(const char *utf8, char **result) noexcept {
    const std::size_t length = std::strlen(utf8);
    const Utf16Count count = count_utf16_units(utf8, length);
    auto *units = static_cast<WCHAR *>(velm_malloc(2 * count.units + 2));
    if (units == nullptr) {
        std::fputs("Out of memory processing string from UTF8 to UNICODE16\n", stderr);
        return -1;
    }
    decode_utf8(utf8, length, count, units);
    units[count.units] = 0;

    // The units and their terminator. The decoder writes no zero unit before
    // the terminator, so this converts exactly what the length -1 would, and
    // the platform need not search for the end; -1 where the count does not
    // fit an int.
    const int units_length = count.units < INT_MAX ? static_cast<int>(count.units) + 1 : -1;
    const int size = from_utf16(units, units_length, nullptr, 0);
    if (size == 0) {
        report_translation_error();
        velm_free(units);
        return -1;
    }

    *result = static_cast<char *>(velm_malloc(static_cast<std::size_t>(size) + 1));
    if (*result == nullptr) {
        std::fputs("Out of memory processing string to local charset\n", stderr);
        velm_free(units);
        return -1;
    }
    if (from_utf16(units, units_length, *result, size) != size) {
        report_translation_error();
        velm_free(units);
        velm_free(*result);
        *result = nullptr;
        return -1;
    }
    (*result)[size] = '\0';
    velm_free(units);
    return 0;
}
