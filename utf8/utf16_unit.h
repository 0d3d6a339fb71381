// SPDX-License-Identifier: GPL-2.0-or-later
// The 16-bit unit of the UTF-16 text that the codec reads and writes: the same
// type as the system's WCHAR (wchar_t on Windows, char16_t elsewhere), so that
// the converters pass the code-page calls' units to the codec as they are.
// This folder sits below both the converters and the code-page layer and
// includes nothing of either.
#pragma once

#ifdef _WIN32
using Utf16Unit = wchar_t;
#else
using Utf16Unit = char16_t;
#endif

static_assert(sizeof(Utf16Unit) == 2, "UTF-16 units have 16 bits");
