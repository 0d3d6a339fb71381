// The Windows code-page calls for POSIX systems: MultiByteToWideChar, WideCharToMultiByte and
// their companions, with kernel32's argument checks, counts and error codes. Character tables
// are read from iconv once per code page, on first use; conversions are then plain table
// lookups, with no iconv call per string.
#include "codepage.h"
#include "locale_code_page.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <new>
#include <strings.h>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Last error, per thread as in kernel32. Only failures set it; success leaves it alone.

thread_local DWORD last_error = 0;

int fail(DWORD error) noexcept {
    last_error = error;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Locale name to ANSI code page, the way Wine derives it from the environment.

// Languages whose Windows locale has an ANSI code page other than 1252.
constexpr LanguageCodePage language_code_pages[] = {
    {"bs", 1250}, {"cs", 1250},  {"hr", 1250},  {"hu", 1250}, {"pl", 1250}, {"ro", 1250},
    {"sh", 1250}, {"sk", 1250},  {"sl", 1250},  {"sq", 1250}, {"tk", 1250}, {"ba", 1251},
    {"be", 1251}, {"bg", 1251},  {"kk", 1251},  {"ky", 1251}, {"mk", 1251}, {"mn", 1251},
    {"ru", 1251}, {"sah", 1251}, {"sr", 1251},  {"tg", 1251}, {"tt", 1251}, {"uk", 1251},
    {"el", 1253}, {"az", 1254},  {"tr", 1254},  {"uz", 1254}, {"he", 1255}, {"iw", 1255},
    {"yi", 1255}, {"ar", 1256},  {"ckb", 1256}, {"fa", 1256}, {"ps", 1256}, {"sd", 1256},
    {"ug", 1256}, {"ur", 1256},  {"et", 1257},  {"lt", 1257}, {"lv", 1257}, {"vi", 1258},
    {"th", 874},  {"ja", 932},   {"ko", 949},   {"zh", 936},
};

bool same_text(const char *begin, const char *end, const char *word) noexcept {
    const std::size_t length = static_cast<std::size_t>(end - begin);
    return std::strlen(word) == length && strncasecmp(begin, word, length) == 0;
}

// ---------------------------------------------------------------------------------------------
// Code pages and their tables.

constexpr std::uint16_t unmapped = 0xFFFF; // no lead byte is 0xFF, so no real code collides

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

struct CodePage {
    bool usable = false;
    bool dbcs = false;
    WCHAR uni_default = u'?';
    std::uint16_t uni_default_code = '?';      // the bytes that really stand for uni_default
    std::array<WCHAR, 256> single{};           // byte -> unit for bytes that are not lead bytes
    std::array<std::uint16_t, 256> lead_row{}; // 0: not a lead byte, else 1 + row in pairs
    std::vector<WCHAR> pairs;                  // pair_index(row, trail byte) -> unit
    std::vector<std::uint16_t> from_unicode;   // unit -> byte or lead << 8 | trail
    bool ascii = false; // bytes and units below 0x80 stand for each other, both ways
};

// Rows count from 1 (0 marks a byte that is not a lead byte); callers pass only rows >= 1.
std::size_t pair_index(unsigned row, unsigned trail) noexcept {
    // cppcheck-suppress integerOverflow ; unsigned arithmetic, and row is never 0
    return (std::size_t{row} - 1) * 256 + trail;
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
        page.uni_default_code = own;
    }
    page.ascii = true;
    for (unsigned byte = 0; byte < 0x80; ++byte) {
        page.ascii = page.ascii && page.lead_row[byte] == 0 && page.single[byte] == byte &&
                     page.from_unicode[byte] == byte;
    }
    page.usable = true;
}

void load(CodePage &page, const CodePageSource &source) noexcept {
    iconv_t to_unicode = iconv_open("UTF-16LE", source.iconv_name);
    iconv_t from_unicode = iconv_open(source.iconv_name, "UTF-16LE");
    if (is_open(to_unicode) && is_open(from_unicode)) {
        try {
            load_from_iconv(page, source, to_unicode, from_unicode);
        } catch (const std::bad_alloc &) {
            page = CodePage{}; // left unusable: calls for it fail as for an unknown code page
        }
    }
    if (is_open(to_unicode)) {
        iconv_close(to_unicode);
    }
    if (is_open(from_unicode)) {
        iconv_close(from_unicode);
    }
}

// The tables of a code page, built on first use by whichever thread gets there first.
const CodePage *code_page(UINT number) noexcept {
    static std::array<std::once_flag, code_page_count> once;
    static std::array<CodePage, code_page_count> pages;
    if (number == CP_ACP) {
        number = GetACP();
    }
    for (std::size_t i = 0; i < code_page_count; ++i) {
        if (code_page_sources[i].number == number) {
            std::call_once(once[i], [i] { load(pages[i], code_page_sources[i]); });
            return pages[i].usable ? &pages[i] : nullptr;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Canonical compositions for WC_COMPOSITECHECK.

struct Composition {
    WCHAR base;
    WCHAR mark;
    WCHAR composed;
};

constexpr Composition compositions[] = {
#include "compose_table.inc"
};

// One bit per unit that occurs as the second character of a composition, so that text without
// combining marks never reaches the search.
constexpr std::array<std::uint64_t, 1024> composing_marks = [] {
    std::array<std::uint64_t, 1024> bits{};
    for (const Composition &entry : compositions) {
        bits[entry.mark >> 6] |= std::uint64_t{1} << (entry.mark & 63);
    }
    return bits;
}();

bool is_composing_mark(WCHAR unit) noexcept {
    return (composing_marks[unit >> 6] >> (unit & 63) & 1) != 0;
}

WCHAR compose(WCHAR base, WCHAR mark) noexcept {
    const Composition *begin = std::begin(compositions);
    const Composition *end = std::end(compositions);
    while (begin < end) {
        const Composition *middle = begin + (end - begin) / 2;
        if (middle->base < base || (middle->base == base && middle->mark < mark)) {
            begin = middle + 1;
        } else {
            end = middle;
        }
    }
    return begin != std::end(compositions) && begin->base == base && begin->mark == mark
               ? begin->composed
               : 0;
}

// ---------------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------------
// Code page -> UTF-16.

// Byte `index` of a word loaded from memory, whatever the machine's byte order.
unsigned byte_of(std::uint64_t word, int index) noexcept {
    const int shift = std::endian::native == std::endian::little ? 8 * index : 56 - 8 * index;
    return static_cast<unsigned>(word >> shift) & 0xFF;
}

// One table lookup a byte, the bytes read eight at a time with one load.
void look_up_bytes(const CodePage &page, const unsigned char *src, int count, WCHAR *dst) noexcept {
    int i = 0;
    for (; count - i >= 8; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, src + i, sizeof word);
        for (int k = 0; k < 8; ++k) {
            dst[i + k] = page.single[byte_of(word, k)];
        }
    }
    for (; i < count; ++i) {
        dst[i] = page.single[src[i]];
    }
}

// A lead byte followed by a non-zero byte takes that byte as its trail, whether or not the
// pair is defined; an undefined pair, and a lead byte at the end of the input or before a
// zero byte, become the code page's default unit (932: U+30FB, others '?'). This is what
// Wine's kernel32 does; the zero byte is then converted on its own.
int bytes_to_units(const CodePage &page, const unsigned char *src, int srclen, WCHAR *dst,
                   int dstlen) noexcept {
    if (!page.dbcs) {
        if (dstlen == 0) {
            return srclen;
        }
        const int count = srclen < dstlen ? srclen : dstlen;
        if (!page.ascii || !widen_ascii(src, static_cast<std::size_t>(count), dst)) {
            look_up_bytes(page, src, count, dst);
        }
        return srclen > dstlen ? fail(ERROR_INSUFFICIENT_BUFFER) : count;
    }
    int out = 0;
    for (int i = 0; i < srclen; ++out) {
        WCHAR unit = 0;
        if (const unsigned row = page.lead_row[src[i]]) {
            if (i + 1 < srclen && src[i + 1] != 0) {
                unit = page.pairs[pair_index(row, src[i + 1])];
                i += 2;
            } else {
                unit = page.uni_default;
                ++i;
            }
        } else {
            unit = page.single[src[i++]];
        }
        if (dstlen != 0) {
            if (out == dstlen) {
                return fail(ERROR_INSUFFICIENT_BUFFER);
            }
            dst[out] = unit;
        }
    }
    return out;
}

// MB_ERR_INVALID_CHARS: bytes that only decode to the default unit, a lead byte without its
// trail byte, or a byte Windows leaves to the private-use area.
bool has_invalid_bytes(const CodePage &page, const unsigned char *src, int srclen) noexcept {
    for (int i = 0; i < srclen; ++i) {
        if (const unsigned row = page.lead_row[src[i]]) {
            if (i + 1 == srclen) {
                return true;
            }
            const std::uint16_t code = static_cast<std::uint16_t>(src[i] << 8 | src[i + 1]);
            if (page.pairs[pair_index(row, src[++i])] == page.uni_default &&
                code != page.uni_default_code) {
                return true;
            }
            continue;
        }
        const WCHAR unit = page.single[src[i]];
        if ((unit == page.uni_default && src[i] != page.uni_default_code) ||
            (unit >= 0xE000 && unit <= 0xF8FF)) {
            return true;
        }
    }
    return false;
}

// UTF-8 -> UTF-16. An ill-formed sequence becomes one U+FFFD per maximal ill-formed subpart.
int utf8_to_units(DWORD flags, const unsigned char *src, int srclen, WCHAR *dst,
                  int dstlen) noexcept {
    long long out = 0;
    bool invalid = false;
    for (int i = 0; i < srclen;) {
        const unsigned first = src[i];
        char32_t value = first;
        int length = 1;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (first >= 0xC2 && first <= 0xDF) {
            length = 2;
            value = first & 0x1F;
        } else if (first >= 0xE0 && first <= 0xEF) {
            length = 3;
            value = first & 0x0F;
            low = first == 0xE0 ? 0xA0 : 0x80;
            high = first == 0xED ? 0x9F : 0xBF;
        } else if (first >= 0xF0 && first <= 0xF4) {
            length = 4;
            value = first & 0x07;
            low = first == 0xF0 ? 0x90 : 0x80;
            high = first == 0xF4 ? 0x8F : 0xBF;
        } else if (first >= 0x80) {
            length = 0;
        }
        int taken = 1;
        while (length != 0 && taken < length) {
            if (i + taken == srclen || src[i + taken] < low || src[i + taken] > high) {
                length = 0;
                break;
            }
            value = value << 6 | (src[i + taken] & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++taken;
        }
        i += taken;
        if (length == 0) {
            invalid = true;
            value = 0xFFFD;
        }
        WCHAR units[2] = {static_cast<WCHAR>(value), 0};
        int count = 1;
        if (value > 0xFFFF) {
            units[0] = static_cast<WCHAR>(0xD800 + ((value - 0x10000) >> 10));
            units[1] = static_cast<WCHAR>(0xDC00 + ((value - 0x10000) & 0x3FF));
            count = 2;
        }
        if (dstlen != 0) {
            if (out + count > dstlen) {
                return fail(ERROR_INSUFFICIENT_BUFFER);
            }
            std::memcpy(dst + out, units, sizeof(WCHAR) * static_cast<std::size_t>(count));
        }
        out += count;
    }
    if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return out > 0x7FFFFFFF ? fail(ERROR_INVALID_PARAMETER) : static_cast<int>(out);
}

// ---------------------------------------------------------------------------------------------
// UTF-16 -> code page.

// Ranges of units that hold every mark of a composition (the table is checked against them
// at compile time), so that a test for "outside all of them" can stand in for the bitmap in a
// loop the compiler vectorises. Latin, Greek, Cyrillic, Hebrew and most Arabic letters and the
// usual punctuation lie outside.
struct UnitRange {
    WCHAR first;
    WCHAR last;
};

constexpr UnitRange mark_ranges[] = {{0x0300, 0x036F}, {0x0653, 0x1B7F}, {0x3099, 0x309A}};

constexpr bool in_mark_ranges(WCHAR unit) noexcept {
    bool inside = false;
    for (const UnitRange &range : mark_ranges) {
        inside = inside || (unit >= range.first && unit <= range.last);
    }
    return inside;
}

static_assert(std::all_of(std::begin(compositions), std::end(compositions),
                          [](const Composition &entry) { return in_mark_ranges(entry.mark); }),
              "a composition's mark lies outside mark_ranges: widen the ranges");

// Whether a unit after the first is the mark of some composition: only then can
// WC_COMPOSITECHECK join two units. Vectorised passes answer for most texts: one for texts
// with no unit from U+0300 up (all marks lie above), one for texts with none in the mark
// ranges; the others are checked unit by unit.
bool has_composing_mark(const WCHAR *units, std::size_t length) noexcept {
    WCHAR high = 0;
    for (std::size_t i = 1; i < length; ++i) {
        high |= static_cast<WCHAR>(units[i] >= 0x300);
    }
    WCHAR possible = 0;
    for (std::size_t i = 1; high != 0 && i < length; ++i) {
        for (const UnitRange &range : mark_ranges) {
            const auto offset = static_cast<WCHAR>(units[i] - range.first);
            possible |= static_cast<WCHAR>(offset <= range.last - range.first);
        }
    }
    for (std::size_t i = 1; possible != 0 && i < length; ++i) {
        if (is_composing_mark(units[i])) {
            return true;
        }
    }
    return false;
}

// A single-byte code page and a text in which nothing composes: one byte per unit, whatever
// the flags. dst has room for all of them, or is null for a counting call.
int units_to_single_bytes(const CodePage &page, const WCHAR *src, std::size_t length, char *dst,
                          unsigned char fallback, BOOL *used_def) noexcept {
    const std::uint16_t *table = page.from_unicode.data();
    bool used = false;
    if (dst == nullptr) {
        for (std::size_t i = 0; used_def != nullptr && i < length; ++i) {
            used = used || table[src[i]] == unmapped;
        }
    } else if (!page.ascii || !narrow_ascii(src, length, dst)) {
        for (std::size_t i = 0; i < length; ++i) {
            std::uint16_t code = table[src[i]];
            if (code == unmapped) {
                code = fallback;
                used = true;
            }
            dst[i] = static_cast<char>(code);
        }
    }
    if (used_def != nullptr) {
        *used_def = used;
    }
    return static_cast<int>(length);
}

// A unit the code page lacks becomes the default character: never a failure. With
// WC_COMPOSITECHECK a base character and the mark after it that compose to a character of the
// code page become that one character; otherwise both are converted separately
// (WC_SEPCHARS), the mark is dropped (WC_DISCARDNS), or the pair becomes one default
// character (WC_DEFAULTCHAR).
// srclen < 0: up to and including the first zero unit, found on the way rather than by a
// separate pass.
int units_to_bytes(const CodePage &page, DWORD flags, const WCHAR *src, int srclen, char *dst,
                   int dstlen, const char *defchar, BOOL *used_def) noexcept {
    std::uint16_t fallback = '?';
    if (defchar != nullptr) {
        const auto first = static_cast<unsigned char>(defchar[0]);
        const auto second = static_cast<unsigned char>(defchar[1]);
        fallback =
            page.dbcs && second != 0 ? static_cast<std::uint16_t>(first << 8 | second) : first;
    }
    const bool composite_check = (flags & WC_COMPOSITECHECK) != 0;
    const bool to_terminator = srclen < 0;
    const std::size_t end = to_terminator ? SIZE_MAX : static_cast<std::size_t>(srclen);
    if (used_def != nullptr) {
        *used_def = 0;
    }
    if (!page.dbcs && !to_terminator && (dstlen == 0 || dstlen >= srclen) &&
        !(composite_check && has_composing_mark(src, end))) {
        return units_to_single_bytes(page, src, end, dstlen != 0 ? dst : nullptr,
                                     static_cast<unsigned char>(fallback), used_def);
    }

    const std::uint16_t *table = page.from_unicode.data();
    bool used = false;
    std::size_t out = 0;
    for (std::size_t i = 0; i < end; ++i) {
        const WCHAR unit = src[i];
        std::uint16_t code = table[unit];
        // A unit other than zero is never the last one when converting up to the terminator.
        if (composite_check && unit != 0 && i + 1 < end && is_composing_mark(src[i + 1])) {
            if (const WCHAR composed = compose(unit, src[i + 1])) {
                if (table[composed] != unmapped) {
                    code = table[composed];
                    ++i;
                } else if (flags & WC_DEFAULTCHAR) {
                    code = unmapped;
                    ++i;
                } else if (flags & WC_DISCARDNS) {
                    ++i;
                }
            }
        }
        if (code == unmapped) {
            code = fallback;
            used = true;
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
    if (used_def != nullptr) {
        *used_def = used;
    }
    return out > 0x7FFFFFFF ? fail(ERROR_INVALID_PARAMETER) : static_cast<int>(out);
}

// UTF-16 -> UTF-8. A lone surrogate becomes U+FFFD.
int units_to_utf8(DWORD flags, const WCHAR *src, int srclen, char *dst, int dstlen) noexcept {
    long long out = 0;
    bool invalid = false;
    for (int i = 0; i < srclen; ++i) {
        char32_t value = src[i];
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < srclen && src[i + 1] >= 0xDC00 &&
            src[i + 1] <= 0xDFFF) {
            value = 0x10000 + ((value - 0xD800) << 10) + (src[++i] - 0xDC00);
        } else if (value >= 0xD800 && value <= 0xDFFF) {
            value = 0xFFFD;
            invalid = true;
        }
        unsigned char bytes[4];
        int count = 0;
        if (value < 0x80) {
            bytes[count++] = static_cast<unsigned char>(value);
        } else if (value < 0x800) {
            bytes[count++] = static_cast<unsigned char>(0xC0 | value >> 6);
            bytes[count++] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        } else if (value < 0x10000) {
            bytes[count++] = static_cast<unsigned char>(0xE0 | value >> 12);
            bytes[count++] = static_cast<unsigned char>(0x80 | (value >> 6 & 0x3F));
            bytes[count++] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        } else {
            bytes[count++] = static_cast<unsigned char>(0xF0 | value >> 18);
            bytes[count++] = static_cast<unsigned char>(0x80 | (value >> 12 & 0x3F));
            bytes[count++] = static_cast<unsigned char>(0x80 | (value >> 6 & 0x3F));
            bytes[count++] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        }
        if (dstlen != 0) {
            if (out + count > dstlen) {
                return fail(ERROR_INSUFFICIENT_BUFFER);
            }
            std::memcpy(dst + out, bytes, static_cast<std::size_t>(count));
        }
        out += count;
    }
    if (invalid && (flags & WC_ERR_INVALID_CHARS)) {
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return out > 0x7FFFFFFF ? fail(ERROR_INVALID_PARAMETER) : static_cast<int>(out);
}

std::size_t wide_length(const WCHAR *text) noexcept {
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Public calls.

UINT code_page_for_locale(const char *locale) noexcept {
    if (locale == nullptr) {
        return 1252;
    }
    const char *language_end = locale + std::strcspn(locale, "_.@");
    const char *territory = *language_end == '_' ? language_end + 1 : language_end;
    const char *territory_end = territory + std::strcspn(territory, ".@");
    const char *at = std::strchr(locale, '@');
    const char *modifier = at != nullptr ? at + 1 : locale + std::strlen(locale);
    const char *modifier_end = locale + std::strlen(locale);

    // Serbian, Bosnian, Azerbaijani and Uzbek are written in both scripts.
    if (same_text(modifier, modifier_end, "latin")) {
        if (same_text(locale, language_end, "sr")) {
            return 1250;
        }
    } else if (same_text(modifier, modifier_end, "cyrillic")) {
        for (const char *language : {"sr", "bs", "az", "uz"}) {
            if (same_text(locale, language_end, language)) {
                return 1251;
            }
        }
    }
    if (same_text(locale, language_end, "zh")) {
        for (const char *territory_name : {"TW", "HK", "MO"}) {
            if (same_text(territory, territory_end, territory_name)) {
                return 950;
            }
        }
    }
    for (const LanguageCodePage &entry : language_code_pages) {
        if (same_text(locale, language_end, entry.language)) {
            return entry.code_page;
        }
    }
    return 1252;
}

std::span<const LanguageCodePage> language_code_page_table() noexcept {
    return language_code_pages;
}

const char *locale_from_environment() noexcept {
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return nullptr;
}

// Like Windows, the ANSI code page is fixed for the life of the process.
UINT GetACP() noexcept {
    static const UINT ansi_code_page = code_page_for_locale(locale_from_environment());
    return ansi_code_page;
}

DWORD GetLastError() noexcept {
    return last_error;
}

void SetLastError(DWORD error) noexcept {
    last_error = error;
}

int lstrlenA(LPCSTR text) noexcept {
    return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

// Any negative length means "up to and including the terminator", as in kernel32.
int MultiByteToWideChar(UINT cp, DWORD flags, LPCCH src, int srclen, LPWSTR dst,
                        int dstlen) noexcept {
    if (src == nullptr || srclen == 0 || (dst == nullptr && dstlen != 0) || dstlen < 0 ||
        static_cast<const void *>(src) == static_cast<const void *>(dst)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (srclen < 0) {
        const std::size_t length = std::strlen(src);
        if (length >= 0x7FFFFFFF) {
            return fail(ERROR_INVALID_PARAMETER);
        }
        srclen = static_cast<int>(length) + 1;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(src);
    if (cp == CP_UTF8) {
        if (flags & ~MB_ERR_INVALID_CHARS) {
            return fail(ERROR_INVALID_FLAGS);
        }
        return utf8_to_units(flags, bytes, srclen, dst, dstlen);
    }
    const CodePage *page = code_page(cp);
    if (page == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (flags & ~(MB_PRECOMPOSED | MB_ERR_INVALID_CHARS)) {
        return fail(ERROR_INVALID_FLAGS);
    }
    if ((flags & MB_ERR_INVALID_CHARS) && has_invalid_bytes(*page, bytes, srclen)) {
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    return bytes_to_units(*page, bytes, srclen, dst, dstlen);
}

int WideCharToMultiByte(UINT cp, DWORD flags, LPCWCH src, int srclen, LPSTR dst, int dstlen,
                        LPCCH defchar, LPBOOL used_def) noexcept {
    if (src == nullptr || srclen == 0 || (dst == nullptr && dstlen != 0) || dstlen < 0 ||
        static_cast<const void *>(src) == static_cast<const void *>(dst)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (cp == CP_UTF8) {
        if (defchar != nullptr || used_def != nullptr) {
            return fail(ERROR_INVALID_PARAMETER);
        }
        if (flags & ~WC_ERR_INVALID_CHARS) {
            return fail(ERROR_INVALID_FLAGS);
        }
        if (srclen < 0) {
            const std::size_t length = wide_length(src);
            if (length >= 0x7FFFFFFF) {
                return fail(ERROR_INVALID_PARAMETER);
            }
            srclen = static_cast<int>(length) + 1;
        }
        return units_to_utf8(flags, src, srclen, dst, dstlen);
    }
    const CodePage *page = code_page(cp);
    if (page == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (flags &
        ~(WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_COMPOSITECHECK | WC_NO_BEST_FIT_CHARS)) {
        return fail(ERROR_INVALID_FLAGS);
    }
    return units_to_bytes(*page, flags, src, srclen, dst, dstlen, defchar, used_def);
}
