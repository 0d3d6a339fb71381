// SPDX-License-Identifier: GPL-2.0-or-later
// The composition table, and the checks that find its marks in a text.
#include "composition.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

namespace platform {
namespace {

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

} // namespace

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

MarkRange composing_marks_of(const std::uint16_t *table, std::uint16_t unmapped) noexcept {
    MarkRange range{0xFFFF, 0};
    for (const Composition &entry : compositions) {
        if (table[entry.composed] != unmapped) {
            range.first = std::min(range.first, entry.mark);
            range.last = std::max(range.last, entry.mark);
        }
    }
    return range;
}

// Two halves at once, each with a least value of its own: one minimum waits for the one before,
// and the loop does so little else that the chain of them would set its pace.
bool has_composing_mark(const WCHAR *units, std::size_t length, MarkRange marks) noexcept {
    if (marks.first > marks.last) {
        return false;
    }
    std::int16_t least = INT16_MAX;
    std::int16_t least_after = INT16_MAX;
    if (length % 2 != 0) {
        least = mark_distance(units[length - 1], marks);
    }
    const std::size_t half = length / 2;
    for (std::size_t i = 0; i < half; ++i) {
        least = std::min(least, mark_distance(units[i], marks));
        least_after = std::min(least_after, mark_distance(units[half + i], marks));
    }
    return is_mark_distance(std::min(least, least_after), marks);
}

} // namespace platform
