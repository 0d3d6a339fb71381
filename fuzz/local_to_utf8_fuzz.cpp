// SPDX-License-Identifier: GPL-2.0-or-later
// local_to_utf8 over arbitrary bytes in the process's ANSI code page (the
// lane runs it once for each of several code pages, chosen by LC_ALL): the
// result is well-formed UTF-8, and decoding it gives back exactly the UTF-16
// that the platform makes of the same bytes. An empty text is refused and
// leaves the result pointer alone. The same bytes read as UTF-16 units check
// the encoder's fast paths against the reference encoder, and
// WideCharToMultiByte's single-byte fast path against its unit-by-unit loop
// (taken when the length is -1), and so do the bytes read as units. MultiByteToWideChar's
// single-byte fast paths are checked against the code page's table, byte by byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "code_page_tables.h"
#include "codepage.h"
#include "encoding.h"
#include "fuzz_support.h"
#include "reference_utf8.h"
#include "utf8_encode.h"

namespace {

// The flags the module passes, which code page 65001 refuses (the module then
// calls again without them).
DWORD flags_for_acp(DWORD flags) {
    return GetACP() == CP_UTF8 ? 0 : flags;
}

// The platform's own UTF-16 for the text: what local_to_utf8 is to encode.
std::vector<char16_t> platform_units(const char *text, int length) {
    const DWORD flags = flags_for_acp(MB_PRECOMPOSED);
    const int count = MultiByteToWideChar(CP_ACP, flags, text, length, nullptr, 0);
    check(count > 0, "the platform counts the units of a non-empty text");
    std::vector<char16_t> units(static_cast<std::size_t>(count));
    check(MultiByteToWideChar(CP_ACP, flags, text, length, units.data(), count) == count,
          "the platform converts as many units as it counted");
    return units;
}

// The input as UTF-16 units, up to the first zero unit, and that zero unit.
std::vector<char16_t> units_of_input(const std::uint8_t *data, std::size_t size) {
    std::vector<char16_t> units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    units.push_back(0);
    return units;
}

void check_encoder(const std::vector<char16_t> &units) {
    // Exactly the units, and exactly the bytes counted, so that ASan sees any
    // read or write past them.
    const std::vector<char16_t> text(units.begin(), units.end() - 1);
    const std::size_t count = count_utf8_bytes(text.data(), text.size());
    const std::unique_ptr<char[]> utf8(new char[count]);
    encode_utf8(text.data(), text.size(), utf8.get());
    check(std::string(utf8.get(), count) == reference::utf8_of(reference::code_points_of(
                                                reference::with_lone_surrogates_replaced(text))),
          "the encoder writes what the reference encoder does");
}

void check_single_byte_fast_path(const std::vector<char16_t> &units) {
    const int length = static_cast<int>(units.size()) - 1;
    if (length == 0)
        return;
    const DWORD flags = flags_for_acp(WC_COMPOSITECHECK);
    const int counted =
        WideCharToMultiByte(CP_ACP, flags, units.data(), length, nullptr, 0, nullptr, nullptr);
    std::vector<char> given(static_cast<std::size_t>(counted) + 1);
    check(WideCharToMultiByte(CP_ACP, flags, units.data(), length, given.data(), counted, nullptr,
                              nullptr) == counted,
          "the platform converts as many bytes as it counted");
    const int whole =
        WideCharToMultiByte(CP_ACP, flags, units.data(), -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> to_terminator(static_cast<std::size_t>(whole));
    check(WideCharToMultiByte(CP_ACP, flags, units.data(), -1, to_terminator.data(), whole, nullptr,
                              nullptr) == whole &&
              whole == counted + 1 &&
              std::memcmp(given.data(), to_terminator.data(), static_cast<std::size_t>(counted)) ==
                  0,
          "a length converts as up to the terminator does");
}

// A single-byte code page converts each byte through its table, whichever of its fast paths
// (ASCII widened whole, the other bytes found a word at a time) takes the text.
void check_single_byte_conversion(const char *text, int length) {
    DWORD error = 0;
    const platform::CodePage *page = platform::code_page(CP_ACP, error);
    if (page == nullptr || page->dbcs)
        return;
    const std::vector<char16_t> units = platform_units(text, length);
    bool same = units.size() == static_cast<std::size_t>(length);
    for (std::size_t i = 0; same && i < units.size(); ++i)
        same = units[i] == page->single[static_cast<unsigned char>(text[i])];
    check(same, "each byte becomes its unit in the code page's table");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::vector<char16_t> units = units_of_input(data, size);
    check_encoder(units);
    check_single_byte_fast_path(units);

    // The text ends at the input's first zero byte.
    const std::size_t length = strnlen(reinterpret_cast<const char *>(data), size);
    // Each byte as a unit: text that is mostly in Latin-1, the common case of that fast path.
    std::vector<char16_t> latin(data, data + length);
    latin.push_back(0);
    check_single_byte_fast_path(latin);
    const auto text = exact_text(data, length);

    char sentinel = 0;
    char *utf8 = &sentinel;
    const int result = local_to_utf8(text.get(), &utf8);
    if (length == 0) {
        check(result == -1, "an empty text is refused");
        check(utf8 == &sentinel, "a refused empty text leaves the result pointer alone");
        return 0;
    }
    check_single_byte_conversion(text.get(), static_cast<int>(length));
    check(result == 0, "a non-empty text converts");
    check(utf8 != nullptr && utf8 != &sentinel, "a converted text is handed out");

    const std::size_t utf8_length = std::strlen(utf8);
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8);
    check(reference::well_formed_utf8(bytes, utf8_length), "the result is well-formed UTF-8");
    const std::vector<char16_t> decoded =
        reference::utf16_of(reference::decode_replacing(bytes, utf8_length));
    check(decoded == reference::with_lone_surrogates_replaced(
                         platform_units(text.get(), static_cast<int>(length))),
          "the result decodes to the platform's UTF-16");
    std::free(utf8);
    return 0;
}
