// SPDX-License-Identifier: GPL-2.0-or-later
// Conversion between the system's ANSI code page and UTF-8.
//
// Both converters return 0 when *result holds a new zero-terminated string,
// which the caller releases with free, and -1 on failure, when the caller must
// neither use nor release *result.
#pragma once

int local_to_utf8(const char *local, char **result) noexcept;
int utf8_to_local(const char *utf8, char **result) noexcept;
