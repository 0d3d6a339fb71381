// SPDX-License-Identifier: GPL-2.0-or-later
#include "fault_injection.h"

#include <cstdlib>
#include <set>

#include "allocation.h"

namespace {
int count = 0;
int failing = 0;
int strays = 0;
std::set<void *> &live() {
    static std::set<void *> blocks;
    return blocks;
}

void *remember(void *block) noexcept {
    if (block != nullptr)
        live().insert(block);
    return block;
}
} // namespace

void reset_allocations(int fail_at) {
    count = 0;
    failing = fail_at;
    strays = 0;
    live().clear();
}

int allocation_count() {
    return count;
}

std::size_t live_allocations() {
    return live().size();
}

int stray_releases() {
    return strays;
}

void *velm_malloc(std::size_t size) noexcept {
    return ++count == failing ? nullptr : remember(std::malloc(size));
}

// A block these hooks did not hand out is counted, not released: releasing
// it could crash the test before it reports.
void velm_free(void *block) noexcept {
    if (block == nullptr)
        return;
    if (live().erase(block) == 0) {
        ++strays;
        return;
    }
    std::free(block);
}
