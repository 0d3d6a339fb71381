// SPDX-License-Identifier: GPL-2.0-or-later
#include "utf8_encode.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

bool is_surrogate(char32_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Reads one code point of the text that ends at `end` and advances past it.
// Units outside the surrogate range, nearly all of them, are their own code
// point.
char32_t next_code_point(const Utf16Unit *&unit, const Utf16Unit *end) noexcept {
    const char32_t first = *unit++;
    if (!is_surrogate(first))
        return first;
    if (first <= 0xDBFF && unit < end && *unit >= 0xDC00 && *unit <= 0xDFFF)
        return 0x10000 + ((first - 0xD800) << 10) + (*unit++ - 0xDC00);
    return 0xFFFD;
}

// Four units read as one 64-bit word, and a word with 1 in each unit's lane.
std::uint64_t load_four(const Utf16Unit *units) noexcept {
    std::uint64_t word;
    std::memcpy(&word, units, sizeof word);
    return word;
}

constexpr std::uint64_t lanes = 0x0001000100010001;

// The `count` units at `units`, when all are ASCII and none is zero, become
// their bytes; false, with nothing written, otherwise. Loops the compiler
// vectorises: a unit from 1 to 0x7F leaves both `seen` and `seen_less_one`
// below 0x80, while zero turns the second to 0xFFFF.
bool narrow_ascii_block(const Utf16Unit *units, std::size_t count, char *utf8) noexcept {
    Utf16Unit seen = 0;
    Utf16Unit seen_less_one = 0;
    for (std::size_t i = 0; i < count; ++i) {
        seen |= units[i];
        seen_less_one |= static_cast<Utf16Unit>(units[i] - 1);
    }
    if ((seen | seen_less_one) > 0x7F)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        utf8[i] = static_cast<char>(units[i]);
    return true;
}

// The step below reads four units as one word, the first in its lowest 16 bits,
// and writes the word's bytes lowest first: a little-endian machine's order.
// Elsewhere it is not taken.
constexpr bool little_endian = std::endian::native == std::endian::little;

// Of the four units in `word`, bits 11-15 of each lane set where the unit is
// not from 1 to 0x7FF (one or two bytes). Less one, a zero unit becomes 0xFFFF
// (and borrows from the next unit, which does not matter once one unit fails).
std::uint64_t long_lanes(std::uint64_t word) noexcept {
    return (word | (word - lanes)) & 0xF800 * lanes;
}

// True when the four units in `word` are all from 1 to 0x7FF.
bool four_short_units(std::uint64_t word) noexcept {
    return long_lanes(word) == 0;
}

// The number of units from 1 to 0x7FF that start the four in `word`.
int short_lanes(std::uint64_t word) noexcept {
    return std::countr_zero(long_lanes(word)) / 16;
}

// Of four short units, bit 15 of each lane set where the unit takes two bytes.
std::uint64_t two_byte_lanes(std::uint64_t word) noexcept {
    return (word + 0x7F80 * lanes) & 0x8000 * lanes;
}

// True when the four units at `units` are all ASCII and none is zero: each is
// then one byte of its own. Checked on one 64-bit load: a unit below 0x80 plus
// 0x7F reaches bit 7 exactly when it is not zero, and carries into no other
// unit.
bool four_ascii_units(const Utf16Unit *units) noexcept {
    const std::uint64_t word = load_four(units);
    return (word & 0xFF80 * lanes) == 0 && ((word + 0x7F * lanes) & 0x80 * lanes) == 0x80 * lanes;
}

// True when the four units in `word` all have two-byte forms.
bool four_two_byte_units(std::uint64_t word) noexcept {
    return four_short_units(word) && two_byte_lanes(word) == 0x8000 * lanes;
}

// Their forms, in memory order: each unit's lane holds its first byte, then its second.
std::uint64_t two_byte_forms(std::uint64_t word) noexcept {
    return (word >> 6 & 0x1F * lanes) | (word & 0x3F * lanes) << 8 | 0x80C0 * lanes;
}

// The UTF-8 form of each unit below 0x800, its first byte lowest (a second one
// from 0x80 on), and the form's length in bytes from bit 16. Filled when the
// module is loaded, before any thread can use it: 8 KiB that the module file
// need not hold.
std::uint32_t short_forms[0x800];

bool fill_short_forms() noexcept {
    for (std::uint32_t unit = 0; unit < 0x80; ++unit)
        short_forms[unit] = unit | 1 << 16;
    // The first byte of a two-byte form names a row of 64 units, the second
    // byte a unit in that row.
    for (std::uint32_t row = 2; row < 0x20; ++row) {
        for (std::uint32_t low = 0; low < 0x40; ++low)
            short_forms[row << 6 | low] = (0xC0 | row) | (0x80 | low) << 8 | 2 << 16;
    }
    return true;
}

const bool short_forms_filled = fill_short_forms();

// Writes a form from short_forms, and a spare byte after a one-byte form, which
// the next form overwrites; returns the end of the form.
char *put_short_form(std::uint32_t form, char *utf8) noexcept {
    if constexpr (little_endian) {
        const auto pair = static_cast<std::uint16_t>(form);
        std::memcpy(utf8, &pair, sizeof pair);
    } else {
        utf8[0] = static_cast<char>(form);
        utf8[1] = static_cast<char>(form >> 8);
    }
    return utf8 + (form >> 16);
}

// Code points from 0x800 on: three bytes, or four from 0x10000 on.
char *encode_long_code_point(char32_t code_point, char *utf8) noexcept {
    if (code_point <= 0xFFFF) {
        *utf8++ = static_cast<char>(0xE0 | code_point >> 12);
        *utf8++ = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
        *utf8++ = static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        *utf8++ = static_cast<char>(0xF0 | code_point >> 18);
        *utf8++ = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
        *utf8++ = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
        *utf8++ = static_cast<char>(0x80 | (code_point & 0x3F));
    }
    return utf8;
}

} // namespace

std::size_t count_utf8_bytes(const Utf16Unit *units, std::size_t length) noexcept {
    // Every unit is counted by plain loops that the compiler vectorises: three
    // bytes a unit, less one below 0x800 and one more below 0x80 (a zero unit
    // is one byte). A block counts at most two a unit, which fits 16 bits. A
    // surrogate counts three, as U+FFFD takes; in a block that has one, each
    // pair, a high surrogate with a low one right after it, four bytes, counts
    // two less (the last unit of the text has no unit after it).
    constexpr std::size_t block = 0x4000;
    std::size_t total = 0;
    for (std::size_t start = 0; start < length; start += block) {
        const std::size_t stop = length - start < block ? length : start + block;
        std::uint16_t fewer = 0;
        std::uint16_t special = 0;
        for (std::size_t i = start; i < stop; ++i) {
            // Shifts and equality tests only: cheap in every vector instruction set.
            const std::uint16_t unit = units[i];
            const auto high = static_cast<std::uint16_t>(unit >> 11);
            fewer += static_cast<std::uint16_t>((unit >> 7 == 0) + (high == 0));
            special |= static_cast<std::uint16_t>(high == 0x1B); // D800-DFFF
        }
        total += 3 * (stop - start) - fewer;
        if (special == 0)
            continue;
        const std::size_t last = stop < length ? stop : length - 1;
        std::uint16_t pairs = 0;
        for (std::size_t i = start; i < last; ++i)
            pairs +=
                static_cast<std::uint16_t>((units[i] >> 10 == 0x36) & (units[i + 1] >> 10 == 0x37));
        total -= 2 * std::size_t{pairs};
    }
    return total;
}

// Units from 1 to 0x7FF are taken four at a time where a word holds four:
// ASCII words (then blocks of 32 units while they are all ASCII), words of
// two-byte forms, and mixed words, each unit of those from a table. In a word
// that does not fit, the units before the first that is not from 1 to 0x7FF
// come from the table too, and that one is taken by itself, as are the last
// units of the text. A form from the table leaves a spare byte after a
// one-byte form, which the next unit's form overwrites: the last unit's form is
// written byte by byte, so that nothing lands past the text's bytes.
void encode_utf8(const Utf16Unit *units, std::size_t length, char *utf8) noexcept {
    constexpr std::ptrdiff_t block = 32;
    const Utf16Unit *const end = units + length;
    // Five units or more are left while units < last_word: a word, and a unit
    // after it.
    const Utf16Unit *const last_word = length >= 5 ? end - 4 : units;
    while (units < end) {
        if (little_endian && units < last_word) {
            std::uint64_t word = load_four(units);
            if (four_short_units(word)) {
                const std::uint64_t two = two_byte_lanes(word);
                if (two == 0) {
                    for (int i = 0; i < 4; ++i)
                        utf8[i] = static_cast<char>(units[i]);
                    units += 4;
                    utf8 += 4;
                    if (end - units >= block && four_ascii_units(units)) {
                        while (end - units >= block && narrow_ascii_block(units, block, utf8)) {
                            units += block;
                            utf8 += block;
                        }
                    }
                    continue;
                }
                if (two == 0x8000 * lanes) {
                    // Words of letters with two-byte forms, as in Cyrillic or Greek.
                    do {
                        const std::uint64_t pairs = two_byte_forms(word);
                        std::memcpy(utf8, &pairs, sizeof pairs);
                        units += 4;
                        utf8 += 8;
                    } while (units < last_word && four_two_byte_units(word = load_four(units)));
                    continue;
                }
                // Mixed words, as in Latin text, while they last; words of
                // two-byte forms in between, as in the short words of Cyrillic
                // text, too.
                do {
                    for (int i = 0; i < 4; ++i)
                        utf8 = put_short_form(short_forms[units[i]], utf8);
                    units += 4;
                    if (units >= last_word)
                        break;
                    word = load_four(units);
                } while (four_short_units(word) && two_byte_lanes(word) != 0);
                continue;
            }
            // The units of the word before the first that is not from 1 to
            // 0x7FF, from the table; that one is taken below.
            const int short_units = short_lanes(word);
#ifdef __GNUC__
#pragma GCC unroll 1
#endif
            for (int i = 0; i < short_units; ++i)
                utf8 = put_short_form(short_forms[units[i]], utf8);
            units += short_units;
        }
        const unsigned unit = *units;
        if (unit < 0x800) {
            const std::uint32_t form = short_forms[unit];
            if (end - units > 1) {
                utf8 = put_short_form(form, utf8);
            } else {
                utf8[0] = static_cast<char>(form);
                if (form >> 16 == 2)
                    utf8[1] = static_cast<char>(form >> 8);
                utf8 += form >> 16;
            }
            ++units;
            continue;
        }
        utf8 = encode_long_code_point(next_code_point(units, end), utf8);
    }
}
