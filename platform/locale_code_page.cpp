// SPDX-License-Identifier: GPL-2.0-or-later
// The ANSI code page of a locale name and of the process's locale environment.
#include "locale_code_page.h"
#include "codepage.h"

#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <strings.h>

namespace {

// The rule. On Linux a program's narrow text is in its locale's codeset; on Windows it is in the
// ANSI code page. So where a locale name carries a codeset that is one of our code pages, that is
// the answer: UTF-8 (any spelling glibc accepts) gives 65001, which is what Windows itself uses
// when set to "UTF-8 for worldwide language support", and CP1250 ... CP1258, CP874, CP932, CP936,
// CP949 and CP950 give that code page. C and POSIX without a codeset, and no locale at all (every
// variable unset or empty), give 65001: glibc's codeset there is plain ASCII, so no Windows code
// page is meant, and the chat client and the players speak UTF-8 whatever the locale (Wine
// answers 1252: a listed difference). Where the name carries no codeset (ru_RU) or one that no
// Windows ANSI code page matches (ISO-8859-1, KOI8-R, eucJP), the language decides, by the table
// below, the way Wine derives a Windows code page from a locale name (checked against Wine's
// GetACP() by tests/differential); a language the table lacks gives the default 1252, and so do C
// and POSIX with such a codeset (C.ISO-8859-1: Latin-1, whose Windows code page 1252 is).
constexpr UINT codeset_code_pages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                       1252, 1253, 1254, 1255, 1256, 1257, 1258};

// The Windows ANSI code page of each language, or of a language in one territory or script, where
// it is not the default 1252 or where that is worth stating. The first entry that matches a locale
// wins, so an entry with a territory or modifier comes before its language's own.
constexpr LocaleEntry locale_table[] = {
    // Written in two scripts: the modifier picks the other one.
    {"sr@latin", 1250},
    {"bs@cyrillic", 1251},
    {"az@cyrillic", 1251},
    {"uz@cyrillic", 1251},
    // Traditional Chinese where Windows in Taiwan, Hong Kong and Macao uses it, whatever
    // language of the region the locale names.
    {"zh_TW", 950},
    {"zh_HK", 950},
    {"zh_MO", 950},
    {"cmn_TW", 950},
    {"hak_TW", 950},
    {"lzh_TW", 950},
    {"nan_TW", 950},
    {"yue_HK", 950},
    // Punjabi in Pakistan is written in Arabic script (in India, in Gurmukhi, which has no
    // Windows code page: the default).
    {"pa_PK", 1256},
    // Sorbian: Windows gives Western, not Central European, for both.
    {"hsb", 1252},
    {"dsb", 1252},
    // Windows marks Yiddish, Pashto and Kazakh as Unicode-only (Wine answers 65001). Windows
    // offers no Unicode-only locale for non-Unicode programs, so a user there sets that of the
    // script they write: Hebrew, Arabic, Russian. Letters of the language that code page lacks
    // become '?', as on that machine; 1252 would lose every letter. (A name that says UTF-8,
    // kk_KZ.UTF-8, gives 65001 by its codeset.)
    {"yi", 1255},
    {"ps", 1256},
    {"kk", 1251},
    // By language.
    {"bs", 1250},
    {"cs", 1250},
    {"hr", 1250},
    {"hu", 1250},
    {"pl", 1250},
    {"ro", 1250},
    {"sh", 1250},
    {"sk", 1250},
    {"sl", 1250},
    {"sq", 1250},
    {"tk", 1250},
    {"ba", 1251},
    {"be", 1251},
    {"bg", 1251},
    {"ky", 1251},
    {"mk", 1251},
    {"mn", 1251},
    {"ru", 1251},
    {"sah", 1251},
    {"sr", 1251},
    {"tg", 1251},
    {"tt", 1251},
    {"uk", 1251},
    {"el", 1253},
    {"az", 1254},
    {"tr", 1254},
    {"uz", 1254},
    {"he", 1255},
    {"iw", 1255},
    {"ar", 1256},
    {"ckb", 1256},
    {"fa", 1256},
    {"sd", 1256},
    {"ug", 1256},
    {"ur", 1256},
    {"et", 1257},
    {"lt", 1257},
    {"lv", 1257},
    {"vi", 1258},
    {"th", 874},
    {"ja", 932},
    {"ko", 949},
    {"zh", 936},
};

// The parts of a locale name language[_territory][.codeset][@modifier].
struct LocaleName {
    std::string_view language;
    std::string_view territory;
    std::string_view codeset;
    std::string_view modifier;
};

LocaleName split(std::string_view locale) noexcept {
    LocaleName name;
    const std::size_t at = locale.find('@');
    if (at != std::string_view::npos) {
        name.modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    const std::size_t dot = locale.find('.');
    if (dot != std::string_view::npos) {
        name.codeset = locale.substr(dot + 1);
        locale = locale.substr(0, dot);
    }
    const std::size_t underscore = locale.find('_');
    name.language = locale.substr(0, underscore);
    if (underscore != std::string_view::npos) {
        name.territory = locale.substr(underscore + 1);
    }
    return name;
}

bool same_text(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// An entry's empty territory or modifier matches any.
bool matches(const LocaleName &entry, const LocaleName &locale) noexcept {
    return same_text(entry.language, locale.language) &&
           (entry.territory.empty() || same_text(entry.territory, locale.territory)) &&
           (entry.modifier.empty() || same_text(entry.modifier, locale.modifier));
}

// The code page a codeset names, or 0. Like glibc, the comparison ignores case and everything but
// letters and digits: "UTF-8", "utf8" and "Utf-8" are one codeset.
UINT codeset_code_page(std::string_view codeset) noexcept {
    char name[8];
    std::size_t length = 0;
    for (const char c : codeset) {
        const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9')) {
            if (length == sizeof name) {
                return 0; // longer than any name below
            }
            name[length++] = lower;
        }
    }
    const std::string_view normal(name, length);
    if (normal == "utf8") {
        return 65001;
    }
    if (length < 5 || !normal.starts_with("cp")) {
        return 0;
    }
    UINT number = 0;
    for (const char digit : normal.substr(2)) {
        if (digit < '0' || digit > '9') {
            return 0;
        }
        number = number * 10 + static_cast<UINT>(digit - '0');
    }
    for (const UINT code_page : codeset_code_pages) {
        if (code_page == number) {
            return number;
        }
    }
    return 0;
}

} // namespace

std::span<const LocaleEntry> locale_code_pages() noexcept {
    return locale_table;
}

UINT code_page_for_locale(const char *locale) noexcept {
    if (locale == nullptr || *locale == '\0') {
        return CP_UTF8;
    }
    const LocaleName name = split(locale);
    if (const UINT named = codeset_code_page(name.codeset)) {
        return named;
    }
    if (name.codeset.empty() && (name.language == "C" || name.language == "POSIX")) {
        return CP_UTF8;
    }
    for (const LocaleEntry &entry : locale_table) {
        if (matches(split(entry.locale), name)) {
            return entry.code_page;
        }
    }
    return 1252;
}

const char *locale_from_environment() noexcept {
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return nullptr;
}

// Like Windows, the ANSI code page is fixed for the life of the process.
UINT GetACP() noexcept {
    static const UINT ansi_code_page = code_page_for_locale(locale_from_environment());
    return ansi_code_page;
}
