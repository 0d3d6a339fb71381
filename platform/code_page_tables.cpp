// SPDX-License-Identifier: GPL-2.0-or-later
// Code pages read from iconv, with Windows' values where iconv's tables differ, and the cache of
// their tables.
#include "code_page_tables.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <iterator>
#include <mutex>
#include <new>

namespace platform {
namespace {

struct CodePageSource {
    const char *iconv_name;
    UINT number;
    WCHAR uni_default; // what a lead byte without a usable trail byte becomes
    // Windows gives the bytes from private_use_from up that have no character consecutive
    // private-use characters from private_use_start; iconv refuses them. 0: no such run.
    WCHAR private_use_start;
    unsigned char private_use_from;
    // A byte that Windows' current table defines and iconv's older one does not. 0: none.
    unsigned char extra_byte;
    WCHAR extra_unit;
};

constexpr CodePageSource code_page_sources[] = {
    {"CP1250", 1250, u'?', 0, 0, 0, 0},         {"CP1251", 1251, u'?', 0, 0, 0, 0},
    {"CP1252", 1252, u'?', 0, 0, 0, 0},         {"CP1253", 1253, u'?', 0xF8F9, 0xA0, 0, 0},
    {"CP1254", 1254, u'?', 0, 0, 0, 0},         {"CP1255", 1255, u'?', 0xF88D, 0xD9, 0xCA, 0x05BA},
    {"CP1256", 1256, u'?', 0, 0, 0, 0},         {"CP1257", 1257, u'?', 0xF8FC, 0xA0, 0, 0},
    {"CP1258", 1258, u'?', 0, 0, 0, 0},         {"CP874", 874, u'?', 0xF8C1, 0xA0, 0, 0},
    {"CP932", 932, 0x30FB, 0xF8F0, 0xA0, 0, 0}, {"CP936", 936, u'?', 0xF8F5, 0xA0, 0, 0},
    {"CP949", 949, u'?', 0xF8F7, 0xFF, 0, 0},   {"CP950", 950, u'?', 0xF8F8, 0xFF, 0, 0},
};
constexpr std::size_t code_page_count = std::size(code_page_sources);

// Windows reads every byte of these ranges as a lead byte, the rows it reserves for
// user-defined characters included, where iconv knows only the rows that hold characters. Read
// as single bytes instead, they would become characters of their own and swallow nothing,
// while Windows takes the next byte as their trail.
struct LeadByteRange {
    UINT number;
    unsigned char first;
    unsigned char last;
};
constexpr LeadByteRange windows_lead_bytes[] = {
    {936, 0x81, 0xFE}, {949, 0x81, 0xFE}, {950, 0x81, 0xFE}};

bool is_windows_lead_byte(UINT number, unsigned byte) noexcept {
    for (const LeadByteRange &range : windows_lead_bytes) {
        if (range.number == number && byte >= range.first && byte <= range.last) {
            return true;
        }
    }
    return false;
}

// iconv_open's failure value is (iconv_t)-1.
bool is_open(iconv_t cd) noexcept {
    return cd != reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
}

enum class Decoded { unit, incomplete, invalid };

// Converts one byte sequence on its own, with the converter's state reset before and flushed
// after, so stateful converters (1255, 1258 combine marks) see nothing of their neighbours.
Decoded decode_alone(iconv_t cd, const unsigned char *bytes, std::size_t count,
                     WCHAR *unit) noexcept {
    char in[2];
    std::memcpy(in, bytes, count);
    unsigned char out[8];
    char *in_ptr = in;
    char *out_ptr = reinterpret_cast<char *>(out);
    std::size_t in_left = count;
    std::size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
        return errno == EINVAL ? Decoded::incomplete : Decoded::invalid;
    }
    if (iconv(cd, nullptr, nullptr, &out_ptr, &out_left) == static_cast<std::size_t>(-1) ||
        sizeof out - out_left != 2) {
        return Decoded::invalid;
    }
    *unit = static_cast<WCHAR>(out[0] | out[1] << 8);
    return Decoded::unit;
}

// iconv's own encoding of a unit, or unmapped.
std::uint16_t encode_alone(iconv_t cd, WCHAR unit) noexcept {
    char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    unsigned char out[8];
    char *in_ptr = in;
    char *out_ptr = reinterpret_cast<char *>(out);
    std::size_t in_left = sizeof in;
    std::size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
        return unmapped;
    }
    const std::size_t length = sizeof out - out_left;
    if (length == 1) {
        return out[0];
    }
    return length == 2 ? static_cast<std::uint16_t>(out[0] << 8 | out[1]) : unmapped;
}

WCHAR decode_code(const CodePage &page, std::uint16_t code) noexcept {
    if (code <= 0xFF) {
        return page.lead_row[code] ? page.uni_default : page.single[code];
    }
    const unsigned row = page.lead_row[code >> 8];
    return row ? page.pairs[pair_index(row, code & 0xFFU)] : page.uni_default;
}

// Reads the code page's characters from iconv. Bytes iconv refuses get Windows' values: U+00xx
// below 0xA0 (as 1252 maps 81 8D 8F 90 9D), the private-use run described in the source above
// that. Any other refused byte becomes the default unit rather than U+00xx, which up there
// would be a Latin-1 letter the code page does not have.
void load_from_iconv(CodePage &page, const CodePageSource &source, iconv_t to_unicode,
                     iconv_t from_unicode) {
    page.uni_default = source.uni_default;
    WCHAR next_private_use = source.private_use_start;
    unsigned rows = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned char in = static_cast<unsigned char>(byte);
        WCHAR unit = 0;
        switch (decode_alone(to_unicode, &in, 1, &unit)) {
        case Decoded::unit:
            page.single[byte] = unit;
            break;
        case Decoded::incomplete:
            page.lead_row[byte] = static_cast<std::uint16_t>(++rows);
            page.single[byte] = page.uni_default;
            break;
        case Decoded::invalid:
            if (is_windows_lead_byte(source.number, byte)) {
                page.lead_row[byte] = static_cast<std::uint16_t>(++rows);
                page.single[byte] = page.uni_default;
            } else if (source.extra_byte != 0 && byte == source.extra_byte) {
                page.single[byte] = source.extra_unit;
            } else if (source.private_use_from != 0 && byte >= source.private_use_from) {
                page.single[byte] = next_private_use++;
            } else if (byte < 0xA0) {
                page.single[byte] = static_cast<WCHAR>(byte);
            } else {
                page.single[byte] = page.uni_default; // unknown: at least never a wrong letter
            }
            break;
        }
    }
    page.dbcs = rows != 0;
    page.pairs.assign(std::size_t{rows} * 256, page.uni_default);
    for (unsigned lead = 0; lead < 256; ++lead) {
        if (const unsigned row = page.lead_row[lead]) {
            for (unsigned trail = 1; trail < 256; ++trail) {
                const unsigned char in[2] = {static_cast<unsigned char>(lead),
                                             static_cast<unsigned char>(trail)};
                WCHAR unit = 0;
                if (decode_alone(to_unicode, in, 2, &unit) == Decoded::unit) {
                    page.pairs[pair_index(row, trail)] = unit;
                }
            }
        }
    }

    // The reverse table holds only round trips: no best-fit substitutions. Where several codes
    // give the same unit, the lowest wins unless iconv's encoder (which follows the vendor's
    // table, e.g. 932's IBM extensions over their NEC-selected copies) names another of them.
    page.from_unicode.assign(65536, unmapped);
    std::vector<unsigned char> seen(65536, 0);
    auto add = [&](std::uint16_t code, WCHAR unit) {
        if (page.from_unicode[unit] == unmapped) {
            page.from_unicode[unit] = code;
        }
        seen[unit] = seen[unit] < 2 ? seen[unit] + 1 : 2;
    };
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (!page.lead_row[byte]) {
            add(static_cast<std::uint16_t>(byte), page.single[byte]);
        }
    }
    for (unsigned lead = 0; lead < 256; ++lead) {
        if (const unsigned row = page.lead_row[lead]) {
            for (unsigned trail = 1; trail < 256; ++trail) {
                const WCHAR unit = page.pairs[pair_index(row, trail)];
                const bool filler = unit == page.uni_default;
                if (!filler) {
                    add(static_cast<std::uint16_t>(lead << 8 | trail), unit);
                }
            }
        }
    }
    for (unsigned unit = 0; unit < 65536; ++unit) {
        if (seen[unit] == 2) {
            const std::uint16_t code = encode_alone(from_unicode, static_cast<WCHAR>(unit));
            if (code != unmapped && decode_code(page, code) == unit) {
                page.from_unicode[unit] = code;
            }
        }
    }
    // The default unit may be a real character (932: 81 45 is U+30FB).
    const std::uint16_t own = encode_alone(from_unicode, page.uni_default);
    if (own != unmapped && decode_code(page, own) == page.uni_default) {
        page.from_unicode[page.uni_default] = own;
    }
    if (!page.dbcs) {
        page.to_byte.resize(65536);
        for (unsigned unit = 0; unit < 65536; ++unit) {
            const std::uint16_t code = page.from_unicode[unit];
            page.to_byte[unit] = static_cast<unsigned char>(code == unmapped ? default_char : code);
        }
        while (page.same_byte_from > 0x80 &&
               page.from_unicode[page.same_byte_from - 1] == page.same_byte_from - 1 &&
               page.single[page.same_byte_from - 1] == page.same_byte_from - 1) {
            --page.same_byte_from;
        }
    }
    page.composing_marks = composing_marks_of(page.from_unicode.data(), unmapped);
    page.ascii = true;
    for (unsigned byte = 0; byte < 0x80; ++byte) {
        page.ascii = page.ascii && page.lead_row[byte] == 0 && page.single[byte] == byte &&
                     page.from_unicode[byte] == byte;
    }
}

// Why iconv_open failed, as the calls report it: EINVAL is iconv's answer for a code page it
// lacks; anything else is a shortage that may pass.
DWORD open_error(int error) noexcept {
    if (error == EINVAL) {
        return ERROR_INVALID_PARAMETER;
    }
    return error == EMFILE || error == ENFILE ? ERROR_TOO_MANY_OPEN_FILES : ERROR_NOT_ENOUGH_MEMORY;
}

// Fills `page` from iconv; 0, or the error the calls report when that fails.
DWORD load(CodePage &page, const CodePageSource &source) noexcept {
    DWORD error = 0;
    iconv_t to_unicode = iconv_open("UTF-16LE", source.iconv_name);
    if (!is_open(to_unicode)) {
        return open_error(errno);
    }
    iconv_t from_unicode = iconv_open(source.iconv_name, "UTF-16LE");
    if (!is_open(from_unicode)) {
        error = open_error(errno);
    } else {
        try {
            load_from_iconv(page, source, to_unicode, from_unicode);
        } catch (const std::bad_alloc &) {
            page = CodePage{}; // releases what was built
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
        iconv_close(from_unicode);
    }
    iconv_close(to_unicode);
    return error;
}

} // namespace

// The tables of a code page, built on first use by whichever thread gets there first. A load
// that fails is not remembered: the next call tries again, as iconv_open may have failed for a
// passing reason (the process out of file descriptors or memory).
const CodePage *code_page(UINT number, DWORD &error) noexcept {
    static std::array<CodePage, code_page_count> pages;
    static std::array<std::atomic<bool>, code_page_count> loaded;
    static std::mutex loading;
    // The ANSI code page, once loaded: the one that nearly every call asks for.
    static std::atomic<const CodePage *> ansi_page{nullptr};
    const bool ansi = number == CP_ACP;
    if (ansi) {
        if (const CodePage *page = ansi_page.load(std::memory_order_acquire)) {
            return page;
        }
        number = GetACP();
    }
    for (std::size_t i = 0; i < code_page_count; ++i) {
        if (code_page_sources[i].number != number) {
            continue;
        }
        if (!loaded[i].load(std::memory_order_acquire)) {
            const std::lock_guard<std::mutex> lock(loading);
            if (!loaded[i].load(std::memory_order_relaxed)) {
                error = load(pages[i], code_page_sources[i]);
                if (error != 0) {
                    return nullptr;
                }
                loaded[i].store(true, std::memory_order_release);
            }
        }
        if (ansi) {
            ansi_page.store(&pages[i], std::memory_order_release);
        }
        return &pages[i];
    }
    error = ERROR_INVALID_PARAMETER;
    return nullptr;
}

} // namespace platform
