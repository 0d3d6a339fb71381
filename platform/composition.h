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

// What one pass over the `length` units at `units` finds: whether a unit after the first lies in
// `marks`, and whether every unit is ASCII.
struct MarkScan {
    bool mark;
    bool ascii;
};
MarkScan scan_for_marks(const WCHAR *units, std::size_t length, MarkRange marks) noexcept;

} // namespace platform

#endif
