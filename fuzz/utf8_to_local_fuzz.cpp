// SPDX-License-Identifier: GPL-2.0-or-later
// utf8_to_local over arbitrary bytes: it never reads past the terminator,
// always succeeds, and hands the platform exactly the UTF-16 that the
// reference decoder makes of the text (one U+FFFD per maximal ill-formed
// subpart). The platform here is a double that records the units it is
// given and answers with one byte per unit. The decoder's fast paths (the
// vectorised count of well-formed text and the unchecked decoding after it)
// are compared with its path that checks every sequence.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codepage.h"
#include "encoding.h"
#include "fuzz_support.h"
#include "reference_utf8.h"
#include "utf8_decode.h"

namespace {

std::vector<char16_t> units_given; // by the last call, terminator left out
int calls = 0;

} // namespace

int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWCH units, int length, LPSTR bytes,
                        int room, LPCCH default_char, LPBOOL default_used) noexcept {
    ++calls;
    units_given.clear();
    for (const WCHAR *unit = units; *unit != 0; ++unit)
        units_given.push_back(*unit);
    const int count = static_cast<int>(units_given.size()) + 1;
    // The length is -1 or the units with their terminator: both end at it.
    check(code_page == CP_ACP && flags == WC_COMPOSITECHECK && (length == -1 || length == count) &&
              default_char == nullptr && default_used == nullptr,
          "the platform is asked for the ANSI code page, composite check, up to the terminator");
    if (bytes == nullptr)
        return count;
    check(room >= count, "the output has room for what was counted");
    std::memset(bytes, 'x', units_given.size());
    bytes[units_given.size()] = '\0';
    return count;
}

DWORD GetLastError() noexcept {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // The decoder reads exactly the bytes it is given, zeros included: here the
    // whole input, which libFuzzer keeps in a buffer of its exact size.
    const Utf16Count count = count_utf16_units(reinterpret_cast<const char *>(data), size);
    check(!count.plain || reference::well_formed_utf8(data, size),
          "only well-formed text is counted as plain");
    std::vector<WCHAR> fast(count.units);
    std::vector<WCHAR> checked(count.units);
    decode_utf8(reinterpret_cast<const char *>(data), size, count, fast.data());
    decode_utf8(reinterpret_cast<const char *>(data), size, {count.units, false}, checked.data());
    check(fast == checked, "the fast decoding writes what the checking one does");
    const std::vector<char16_t> expected =
        reference::utf16_of(reference::decode_replacing(data, size));
    check(std::equal(checked.begin(), checked.end(), expected.begin(), expected.end()),
          "the decoder writes the reference decoder's units, as many as it counted");

    // The module's text ends at the input's first zero byte.
    const std::size_t length = strnlen(reinterpret_cast<const char *>(data), size);
    const auto text = exact_text(data, length);
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.get());

    calls = 0;
    char *local = nullptr;
    check(utf8_to_local(text.get(), &local) == 0, "every text converts");
    check(calls == 2, "the platform is called once to count and once to convert");
    check(units_given == reference::utf16_of(reference::decode_replacing(bytes, length)),
          "the platform is given the reference decoder's UTF-16");
    check(std::strlen(local) == units_given.size(), "the result is what the platform wrote");
    std::free(local);
    return 0;
}
