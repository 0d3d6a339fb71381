// Canonical composition for WC_COMPOSITECHECK: which units are marks, and what a base and a mark
// compose to.
#ifndef VELM_PLATFORM_COMPOSITION_H
#define VELM_PLATFORM_COMPOSITION_H

#include "codepage.h"

#include <cstddef>

namespace platform {

// Whether `unit` is the second character of some composition.
bool is_composing_mark(WCHAR unit) noexcept;

// The precomposed character of `base` followed by `mark`, or 0 when there is none.
WCHAR compose(WCHAR base, WCHAR mark) noexcept;

// Whether a unit after the first of the `length` at `units` is a composing mark.
bool has_composing_mark(const WCHAR *units, std::size_t length) noexcept;

} // namespace platform

#endif
