// SPDX-License-Identifier: GPL-2.0-or-later
// How the ANSI code page follows from a locale name. Internal to the platform layer; kept
// apart from the process-wide cache in GetACP() so it can be checked case by case.
#ifndef VELM_PLATFORM_LOCALE_CODE_PAGE_H
#define VELM_PLATFORM_LOCALE_CODE_PAGE_H

#include "codepage.h"

#include <span>

// A locale name language[_TERRITORY][@modifier] and the ANSI code page it gives.
struct LocaleEntry {
    const char *locale;
    UINT code_page;
};

// The language table behind code_page_for_locale, in the order it is searched (the first entry
// that matches wins); a language it lacks gives 1252.
std::span<const LocaleEntry> locale_code_pages() noexcept;

// The ANSI code page for a POSIX locale name language[_TERRITORY][.codeset][@modifier]: the
// codeset's where it names one of the layer's code pages (UTF-8: 65001, CP1251: 1251...),
// otherwise the language's by the table. Null, empty, and "C" or "POSIX" without a codeset give
// 65001; languages the table lacks, "C.ISO-8859-1" among them, give 1252.
UINT code_page_for_locale(const char *locale) noexcept;

// The first non-empty of LC_ALL, LC_CTYPE and LANG, or null when all are unset or empty.
const char *locale_from_environment() noexcept;

#endif
