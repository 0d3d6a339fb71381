// SPDX-License-Identifier: GPL-2.0-or-later
// Canonical composition for WC_COMPOSITECHECK: which units are marks, and what a base and a mark
// compose to.
#ifndef VELM_PLATFORM_COMPOSITION_H
#define VELM_PLATFORM_COMPOSITION_H

#include "codepage.h"

#include <cstddef>
#include <cstdint>

namespace platform {

// Whether `unit` is the second character of some composition.
bool is_composing_mark(WCHAR unit) noexcept;

// The precomposed character of `base` followed by `mark`, or 0 when there is none.
WCHAR compose(WCHAR base, WCHAR mark) noexcept;

// The units from `first` to `last` hold every mark that composes, with some base, to a character
// a code page has; first > last when there is none.
struct MarkRange {
    WCHAR first;
    WCHAR last;
};

// The range of the marks whose compositions `table` (unit -> code) does not give as `unmapped`.
MarkRange composing_marks_of(const std::uint16_t *table, std::uint16_t unmapped) noexcept;

// Marks are looked for in loops that the compiler vectorises, with the oldest instruction sets
// too: unsigned comparisons are made signed by flipping the top bit, and the least distance of
// the units above the first mark is kept instead of a finding for each unit.
inline std::int16_t signed_form(unsigned value) noexcept {
    return static_cast<std::int16_t>(value ^ 0x8000);
}
inline std::int16_t mark_distance(WCHAR unit, MarkRange marks) noexcept {
    return signed_form(static_cast<WCHAR>(unit - marks.first));
}
// Whether `least`, the least mark_distance of some units, is that of a mark.
inline bool is_mark_distance(std::int16_t least, MarkRange marks) noexcept {
    return marks.first <= marks.last &&
           static_cast<WCHAR>(least ^ 0x8000) <= static_cast<WCHAR>(marks.last - marks.first);
}

// Whether one of the `length` units at `units` lies in `marks`. A mark first in the text
// composes with nothing, but counts all the same: the caller then takes the careful way.
bool has_composing_mark(const WCHAR *units, std::size_t length, MarkRange marks) noexcept;

} // namespace platform

#endif
