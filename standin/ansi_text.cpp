// SPDX-License-Identifier: GPL-2.0-or-later
// velm-ansi-text: copies standard input, UTF-8, to standard output in the
// ANSI code page of this process, the encoding of the stand-in service's
// files. The code page follows the locale environment exactly as it does for
// the module, so the demo and the tests write the service's text in the code
// page the module reads it with. A character the code page lacks becomes '?',
// as it does in the real service's output. `--code-page` prints the code
// page's number instead.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codepage.h"
#include "utf8_decode.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

std::string read_all(FILE *file) {
    std::string text;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text.append(chunk, got);
    return text;
}

// The text in the ANSI code page; false when the platform refuses it. The
// module's own UTF-8 decoder reads the input, as it reads the host's text.
bool to_ansi(const std::string &utf8, std::string &ansi) {
    const Utf16Count count = count_utf16_units(utf8.c_str(), utf8.size());
    if (count.units >= INT_MAX)
        return false;
    std::vector<WCHAR> units(count.units + 1);
    decode_utf8(utf8.c_str(), utf8.size(), count, units.data());
    const int unit_count = static_cast<int>(count.units);
    // No best-fit substitutions: 'é' in code page 1251 is '?', not 'e'. UTF-8
    // (65001) has none to make and refuses the flag.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    int byte_count =
        WideCharToMultiByte(CP_ACP, flags, units.data(), unit_count, nullptr, 0, nullptr, nullptr);
    if (byte_count == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        byte_count = WideCharToMultiByte(CP_ACP, flags, units.data(), unit_count, nullptr, 0,
                                         nullptr, nullptr);
    }
    if (byte_count == 0)
        return false;
    ansi.assign(static_cast<std::size_t>(byte_count), '\0');
    return WideCharToMultiByte(CP_ACP, flags, units.data(), unit_count, ansi.data(), byte_count,
                               nullptr, nullptr) == byte_count;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "--code-page") == 0) {
        std::printf("%u\n", static_cast<unsigned>(GetACP()));
        return 0;
    }
    if (argc != 1) {
        std::fputs("usage: velm-ansi-text [--code-page] <utf8 >ansi\n", stderr);
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const std::string utf8 = read_all(stdin);
    // The service's texts are zero-terminated: a zero byte cannot be part of one.
    if (utf8.find('\0') != std::string::npos) {
        std::fputs("velm-ansi-text: the input holds a zero byte\n", stderr);
        return 1;
    }
    std::string ansi;
    if (!utf8.empty() && !to_ansi(utf8, ansi)) {
        std::fprintf(stderr, "velm-ansi-text: conversion failed (error %lu)\n",
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::fwrite(ansi.data(), 1, ansi.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
