// SPDX-License-Identifier: GPL-2.0-or-later
#include "counting_heap.h"

#include <cstdlib>

#include "allocation.h"

namespace {
std::uint64_t allocations = 0;
} // namespace

std::uint64_t heap_allocations() {
    return allocations;
}

void *velm_malloc(std::size_t size) noexcept {
    ++allocations;
    return std::malloc(size);
}

void velm_free(void *block) noexcept {
    std::free(block);
}
