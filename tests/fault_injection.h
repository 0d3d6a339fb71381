// SPDX-License-Identifier: GPL-2.0-or-later
// Allocation hooks of the test builds: count every allocation, fail a chosen
// one, and keep track of what has not been released.
#pragma once

#include <cstddef>

// Starts counting afresh; the allocation numbered `fail_at` (1 for the first)
// fails, none when 0.
void reset_allocations(int fail_at = 0);
int allocation_count();
std::size_t live_allocations();
// Releases of blocks these hooks did not hand out (double or foreign frees).
int stray_releases();
