// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

// Stops the run, naming the property that does not hold; libFuzzer then
// keeps the input that broke it.
inline void check(bool holds, const char *property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// `length` bytes and a terminator in a block of exactly that size, so that
// AddressSanitizer catches any read past the terminator.
inline std::unique_ptr<char[]> exact_text(const void *bytes, std::size_t length) {
    std::unique_ptr<char[]> text(new char[length + 1]);
    std::memcpy(text.get(), bytes, length);
    text[length] = '\0';
    return text;
}
