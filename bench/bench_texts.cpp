// SPDX-License-Identifier: GPL-2.0-or-later
// The texts the benchmarks convert: a sentence of each script repeated to the
// wanted length, turned into the code page by iconv once, before any timing.
#include <cstdio>
#include <cstdlib>
#include <iconv.h>

#include "bench.h"

namespace {

struct Script {
    const char *name;
    unsigned code_page;
    const char *iconv_name;
    const char *sentence; // UTF-8
};

const Script scripts[] = {
    {"ascii", 1252, "CP1252", "me is listening to The Quiet Ones - Northern Lights (live, 2006) "},
    {"western", 1252, "CP1252",
     "me \xC3\xA9"
     "coute D\xC3\xA9j\xC3\xA0 vu \xC3\xA0 la f\xC3\xAAte \xE2\x80\x93 Stra\xC3\x9F"
     "e \xC3\xBC"
     "ber \xC3\x84pfel, se\xC3\xB1or a\xC3\xB1o, na\xC3\xAFve caf\xC3\xA9 cr\xC3\xA8me "},
    {"cyrillic", 1251, "CP1251",
     "me \xD1\x81\xD0\xBB\xD1\x83\xD1\x88\xD0\xB0\xD0\xB5\xD1\x82 \xD0\x9B\xD1\x91\xD1\x88\xD0\xB0 "
     "\xD0\x9C\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB7\xD0\xBE\xD0\xB2 \xE2\x80\x93 "
     "\xD0\x97\xD0\xB8\xD0\xBC"
     "\xD0\xBD\xD1\x8F\xD1\x8F \xD0\xBD\xD0\xBE\xD1\x87\xD1\x8C, \xD0\xB1\xD0\xB5\xD0\xBB\xD1\x8B"
     "\xD0\xB9 \xD1\x81\xD0\xBD\xD0\xB5\xD0\xB3 "},
    // Code page 65001: the text in the code page is UTF-8 itself.
    {"utf8_ascii", 65001, "UTF-8",
     "me is listening to The Quiet Ones - Northern Lights (live, 2006) "},
    {"utf8_mixed", 65001, "UTF-8",
     "me \xC3\xA9"
     "coute D\xC3\xA9j\xC3\xA0 vu \xE2\x80\x93 \xD0\x9B\xD1\x91\xD1\x88\xD0\xB0 "
     "\xD0\x9C\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB7\xD0\xBE\xD0\xB2 \xE2\x80\x93 "
     "\xE3\x83\x9F\xE3\x82\xAB - \xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C "
     "\xF0\x9F\x98\x80 "},
};

const std::size_t lengths[] = {64, 2048};

} // namespace

// Any failure ends the program, since every benchmark would measure a wrong
// input.
std::string iconv_all(const char *to, const char *from, const std::string &text) {
    iconv_t cd = iconv_open(to, from);
    // NOLINTNEXTLINE(performance-no-int-to-ptr): iconv's own failure value
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "velm-bench: iconv has no %s to %s\n", from, to);
        std::exit(1);
    }
    std::string out(text.size() * 4, '\0');
    char *in_ptr = const_cast<char *>(text.data());
    char *out_ptr = out.data();
    std::size_t in_left = text.size();
    std::size_t out_left = out.size();
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) {
        std::fprintf(stderr, "velm-bench: iconv cannot convert a text to %s\n", to);
        std::exit(1);
    }
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}

std::vector<BenchText> bench_texts(unsigned code_page) {
    std::vector<BenchText> texts;
    for (const Script &script : scripts) {
        if (script.code_page != code_page)
            continue;
        const std::string sentence = iconv_all(script.iconv_name, "UTF-8", script.sentence);
        for (const std::size_t length : lengths) {
            std::string ansi;
            while (ansi.size() < length)
                ansi += sentence;
            // Single-byte code pages: any cut is between characters; in UTF-8,
            // not within a sequence.
            std::size_t cut = length;
            while (code_page == 65001 && (static_cast<unsigned char>(ansi[cut]) & 0xC0) == 0x80)
                --cut;
            ansi.resize(cut);
            texts.push_back({std::string(script.name) + "/" + std::to_string(length),
                             script.iconv_name, ansi, iconv_all("UTF-8", script.iconv_name, ansi)});
        }
    }
    return texts;
}
