// SPDX-License-Identifier: GPL-2.0-or-later
// The module's heap hooks in the benchmark program: plain malloc and
// free, with every allocation counted.
#pragma once

#include <cstdint>

std::uint64_t heap_allocations();
