// SPDX-License-Identifier: GPL-2.0-or-later
// The heap functions behind every string the converters hand out and every
// buffer they use. Test builds define VELM_FAULT_INJECTION and supply their
// own, so that any allocation can be made to fail and every release counted;
// the product calls the C library directly.
#pragma once

#include <cstdlib>

#ifdef VELM_FAULT_INJECTION
void *velm_malloc(std::size_t size) noexcept;
void velm_free(void *block) noexcept;
#else
inline void *velm_malloc(std::size_t size) noexcept {
    return std::malloc(size);
}
inline void velm_free(void *block) noexcept {
    std::free(block);
}
#endif
