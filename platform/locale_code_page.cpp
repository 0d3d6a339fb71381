// The ANSI code page of a locale name and of the process's locale environment, as Wine derives it.
#include "locale_code_page.h"
#include "codepage.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <strings.h>

namespace {

struct LanguageCodePage {
    const char *language;
    UINT code_page;
};

// Languages whose Windows locale has an ANSI code page other than 1252.
constexpr LanguageCodePage language_code_pages[] = {
    {"bs", 1250}, {"cs", 1250}, {"dsb", 1250}, {"hr", 1250},  {"hsb", 1250}, {"hu", 1250},
    {"pl", 1250}, {"ro", 1250}, {"sh", 1250},  {"sk", 1250},  {"sl", 1250},  {"sq", 1250},
    {"tk", 1250}, {"ba", 1251}, {"be", 1251},  {"bg", 1251},  {"kk", 1251},  {"ky", 1251},
    {"mk", 1251}, {"mn", 1251}, {"ru", 1251},  {"sah", 1251}, {"sr", 1251},  {"tg", 1251},
    {"tt", 1251}, {"uk", 1251}, {"el", 1253},  {"az", 1254},  {"tr", 1254},  {"uz", 1254},
    {"he", 1255}, {"iw", 1255}, {"yi", 1255},  {"ar", 1256},  {"ckb", 1256}, {"fa", 1256},
    {"ps", 1256}, {"sd", 1256}, {"ug", 1256},  {"ur", 1256},  {"et", 1257},  {"lt", 1257},
    {"lv", 1257}, {"vi", 1258}, {"th", 874},   {"ja", 932},   {"ko", 949},   {"zh", 936},
};

bool same_text(const char *begin, const char *end, const char *word) noexcept {
    const std::size_t length = static_cast<std::size_t>(end - begin);
    return std::strlen(word) == length && strncasecmp(begin, word, length) == 0;
}

} // namespace

UINT code_page_for_locale(const char *locale) noexcept {
    if (locale == nullptr) {
        return 1252;
    }
    const char *language_end = locale + std::strcspn(locale, "_.@");
    const char *territory = *language_end == '_' ? language_end + 1 : language_end;
    const char *territory_end = territory + std::strcspn(territory, ".@");
    const char *at = std::strchr(locale, '@');
    const char *modifier = at != nullptr ? at + 1 : locale + std::strlen(locale);
    const char *modifier_end = locale + std::strlen(locale);

    // Serbian, Bosnian, Azerbaijani and Uzbek are written in both scripts.
    if (same_text(modifier, modifier_end, "latin")) {
        if (same_text(locale, language_end, "sr")) {
            return 1250;
        }
    } else if (same_text(modifier, modifier_end, "cyrillic")) {
        for (const char *language : {"sr", "bs", "az", "uz"}) {
            if (same_text(locale, language_end, language)) {
                return 1251;
            }
        }
    }
    if (same_text(locale, language_end, "zh")) {
        for (const char *territory_name : {"TW", "HK", "MO"}) {
            if (same_text(territory, territory_end, territory_name)) {
                return 950;
            }
        }
    }
    for (const LanguageCodePage &entry : language_code_pages) {
        if (same_text(locale, language_end, entry.language)) {
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
