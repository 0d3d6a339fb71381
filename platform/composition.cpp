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

} // namespace platform
