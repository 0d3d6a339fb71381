// SPDX-License-Identifier: GPL-2.0-or-later
// Runs one fixed corpus through the module's two converters and prints every
// result, one line a case, so that the output of two builds (Linux with our
// code-page layer, Windows with the system's) can be compared line by line.
// The ANSI code page is whatever the process's locale environment selects.
//
// Lines: "acp <code page>", then "<direction> <input> <result> <output>", the
// direction L for local_to_utf8 and U for utf8_to_local, input and output in
// hex ("-" when empty), the result 0 or -1.
//
// With --acp it prints only the first line. With --locales (Linux build only) it
// prints the locale names whose code page the Linux layer decides by its table:
// each entry, and a few names that fall to a language's entry or to the default;
// and C and POSIX, which it decides by a rule of its own (65001).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codepage.h"
#include "encoding.h"
#ifndef _WIN32
#include "locale_code_page.h"
#endif

namespace {

std::string hex(const std::string &bytes) {
    if (bytes.empty())
        return "-";
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

void print_case(char direction, const std::string &input, int result, const char *output) {
    std::printf("%c %s %d %s\n", direction, hex(input).c_str(), result,
                result == 0 ? hex(output).c_str() : "-");
}

void to_utf8(const std::string &local) {
    char *out = nullptr;
    const int result = local_to_utf8(local.c_str(), &out);
    print_case('L', local, result, out);
    if (result == 0)
        std::free(out);
}

void to_local(const std::string &utf8) {
    char *out = nullptr;
    const int result = utf8_to_local(utf8.c_str(), &out);
    print_case('U', utf8, result, out);
    if (result == 0)
        std::free(out);
}

// Well-formed UTF-8 for any value up to 0x10FFFF, surrogates included (the
// caller decides whether it wants them).
std::string utf8_of(char32_t c) {
    std::string bytes;
    if (c < 0x80) {
        bytes += static_cast<char>(c);
    } else if (c < 0x800) {
        bytes += static_cast<char>(0xC0 | (c >> 6));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes += static_cast<char>(0xE0 | (c >> 12));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (c >> 18));
        bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (c & 0x3F));
    }
    return bytes;
}

bool is_double_byte(UINT code_page) {
    return code_page == 932 || code_page == 936 || code_page == 949 || code_page == 950;
}

// Hand-picked UTF-8 texts: the converters' documented examples and the forms
// that decoders and code-page converters tend to get wrong.
const char *const curated[] = {
    "play",
    "A\xC3\xA9\xE2\x82\xAC",                // A, e acute, euro sign
    "\xE4\xB8\xAD",                         // a CJK ideograph
    "a\xC0\x80z",                           // overlong NUL
    "\xF0\x9F\x98\x80x",                    // a four-byte sequence, then x
    "Cafe\xCC\x81",                         // e and a combining acute
    "e\xCC\x81\xCC\x81",                    // two marks on one base
    "\xCC\x81x",                            // a mark with no base before it
    "A\xCC\x8A",                            // A and ring above: A ring
    "n\xCC\x83",                            // n and tilde: n tilde
    "c\xCC\xA7",                            // c and cedilla
    "s\xCC\x8C",                            // s and caron
    "z\xCC\x87",                            // z and dot above
    "\xD0\xB5\xCC\x88",                     // Cyrillic ie and diaeresis
    "\xCE\xB1\xCC\x81",                     // Greek alpha and acute
    "a\xCC\x80",                            // a and grave
    "\xE1\xBB\x87",                         // Vietnamese e with circumflex and dot below
    "e\xCC\xA3\xCC\x82",                    // the same, decomposed
    "\xC6\xA1\xCC\x89",                     // o horn and hook above
    "u\xCC\x9B\xCC\x81",                    // u, horn, acute
    "\xE1\x84\x80\xE1\x85\xA1",             // conjoining Hangul jamo
    "\xEA\xB0\x80",                         // a Hangul syllable
    "\xE3\x81\x8B\xE3\x82\x99",             // hiragana ka and combining voiced mark
    "\xEF\xBD\xB6\xEF\xBE\x9E",             // halfwidth katakana ka and voiced mark
    "\xE2\x82\x80\xE2\x84\xA2\xE2\x80\xA6", // subscript zero, trade mark, ellipsis
    "\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\x93", // curly quotes, en dash
    "\xEF\xBB\xBFxyz",                      // byte order mark
    "\xEF\xBF\xBD",                         // the replacement character itself
    "\xEF\xBF\xBE\xEF\xBF\xBF",             // noncharacters
    "\xEE\x80\x80\xEF\xA3\xBF",             // private use
    "\xC2\x80\xC2\x9F",                     // C1 controls
    "\x80",                                 // stray continuation byte
    "\xBF\xBF",
    "\xC2",         // two-byte sequence cut short
    "\xE2\x82",     // three-byte sequence cut short
    "\xF0\x9F\x98", // four-byte sequence cut short
    "\xC2x",        // missing continuation
    "\xE0\x80\x80", // overlong three-byte
    "\xE0\x9F\xBF",
    "\xF0\x80\x80\x80",         // overlong four-byte
    "\xED\xA0\x80",             // encoded high surrogate
    "\xED\xBF\xBF",             // encoded low surrogate
    "\xED\xA0\xBD\xED\xB8\x80", // an encoded surrogate pair
    "\xF4\x90\x80\x80",         // above U+10FFFF
    "\xF5\x80\x80\x80",
    "\xF8\x88\x80\x80\x80", // five-byte form
    "\xFE\xFF",
    "\xC1\xBF",                // overlong two-byte
    "x\xE2\x82\xACy\xE2\x82z", // good, then cut short, then good
    "\x01\x1F\x7F",            // control characters
    "\xF4\x8F\xBF\xBF",        // U+10FFFF
    "\xF0\x90\x80\x80",        // U+10000
};

// A small generator whose sequence is the same on every platform.
struct Random {
    std::uint64_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 32);
    }
    std::uint32_t below(std::uint32_t bound) {
        return next() % bound;
    }
    char32_t in(char32_t first, char32_t last) {
        return first + below(last - first + 1);
    }
};

// One piece of a generated text: a character from one of the scripts the code
// pages cover, a base letter with combining marks, a character beyond the
// Basic Multilingual Plane, or an ill-formed byte sequence.
std::string random_piece(Random &random) {
    static const char bases[] = "aeiouyAEIOUYcnszCNSZ";
    static const char32_t marks[] = {0x300, 0x301, 0x302, 0x303, 0x306, 0x308, 0x309,
                                     0x30A, 0x30B, 0x30C, 0x323, 0x327, 0x328, 0x31B};
    static const char *const ill_formed[] = {
        "\x80",         "\xBF",     "\xC0\x80",         "\xC1", "\xC2", "\xE0\x80", "\xE2\x82",
        "\xED\xA0\x80", "\xF0\x9F", "\xF4\x90\x80\x80", "\xF5", "\xFF"};
    switch (random.below(16)) {
    case 0:
    case 1:
    case 2:
        return utf8_of(random.in(0x20, 0x7E));
    case 3:
        return utf8_of(random.in(0xA0, 0x17F)); // Latin-1, Latin Extended-A
    case 4:
        return utf8_of(random.in(0x370, 0x4FF)); // Greek, Cyrillic
    case 5:
        return utf8_of(random.in(0x590, 0x6FF)); // Hebrew, Arabic
    case 6:
        return utf8_of(random.in(0xE00, 0xE7F)); // Thai
    case 7: {
        std::string piece = utf8_of(static_cast<unsigned char>(bases[random.below(20)]));
        for (std::uint32_t i = random.below(3); i > 0; --i)
            piece += utf8_of(marks[random.below(sizeof marks / sizeof marks[0])]);
        return piece;
    }
    case 8:
        return utf8_of(random.in(0x1E00, 0x1EFF)); // Latin Extended Additional
    case 9:
        return utf8_of(random.in(0x2000, 0x22FF)); // punctuation, symbols
    case 10:
        return utf8_of(random.in(0x3000, 0x30FF)); // CJK punctuation, kana
    case 11:
        return utf8_of(random.in(0x4E00, 0x9FFF)); // CJK ideographs
    case 12:
        return utf8_of(random.in(0xAC00, 0xD7A3)); // Hangul syllables
    case 13:
        return utf8_of(random.in(0xFF00, 0xFFEF)); // full and half width forms
    case 14:
        return utf8_of(random.in(0x10000, 0x10FFFF));
    default:
        return ill_formed[random.below(sizeof ill_formed / sizeof ill_formed[0])];
    }
}

} // namespace

int main(int argc, char **argv) {
#ifndef _WIN32
    if (argc > 1 && std::strcmp(argv[1], "--locales") == 0) {
        for (const LocaleEntry &entry : locale_code_pages())
            std::printf("%s\n", entry.locale);
        // Names that no entry matches, or that only the language's own entry does.
        for (const char *name : {"en_US", "de_DE", "sr@cyrillic", "zh_CN", "zh_SG", "pa_IN"})
            std::printf("%s\n", name);
        // The names whose codeset is ASCII, for which no Windows code page is meant.
        for (const char *name : {"C", "POSIX"})
            std::printf("%s\n", name);
        return 0;
    }
#endif
    const UINT code_page = GetACP();
    std::printf("acp %u\n", code_page);
    if (argc > 1 && std::strcmp(argv[1], "--acp") == 0)
        return 0;

    // Every single byte; for double-byte code pages also every lead byte
    // with every trail byte.
    for (int byte = 0; byte < 256; ++byte)
        to_utf8(byte == 0 ? std::string() : std::string(1, static_cast<char>(byte)));
    if (is_double_byte(code_page)) {
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 1; trail < 256; ++trail)
                to_utf8({static_cast<char>(lead), static_cast<char>(trail)});
        }
    }

    // Where the code page is UTF-8, its texts are the same as the other
    // direction's: every character of the Basic Multilingual Plane, the
    // encoded surrogates, and the hand-picked texts, ill-formed ones included.
    if (code_page == CP_UTF8) {
        for (char32_t c = 1; c < 0x10000; ++c)
            to_utf8(utf8_of(c));
        for (const char *text : curated)
            to_utf8(text);
    }

    // Every character of the Basic Multilingual Plane on its own: the code
    // page's whole repertoire and everything it lacks.
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c < 0xD800 || c > 0xDFFF)
            to_local(utf8_of(c));
    }
    for (const char *text : curated)
        to_local(text);
    Random random{0x9E3779B97F4A7C15u};
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        for (std::uint32_t pieces = 1 + random.below(12); pieces > 0; --pieces)
            text += random_piece(random);
        to_local(text);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
