// How the ANSI code page follows from a locale name. Internal to the platform layer; kept
// apart from the process-wide cache in GetACP() so it can be checked case by case.
#ifndef VELM_PLATFORM_LOCALE_CODE_PAGE_H
#define VELM_PLATFORM_LOCALE_CODE_PAGE_H

#include <span>

#include "codepage.h"

struct LanguageCodePage {
    const char *language;
    UINT code_page;
};

// Every language whose Windows locale has an ANSI code page other than 1252, so that a test
// can compare each entry with what Windows gives.
std::span<const LanguageCodePage> language_code_page_table() noexcept;

// The Windows ANSI code page for a POSIX locale name language[_TERRITORY][.codeset][@modifier]
// (the codeset plays no part). Null, empty, "C", "POSIX" and unknown languages give 1252.
UINT code_page_for_locale(const char *locale) noexcept;

// The first non-empty of LC_ALL, LC_CTYPE and LANG, or null when all are unset or empty.
const char *locale_from_environment() noexcept;

#endif
