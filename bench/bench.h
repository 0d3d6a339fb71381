// SPDX-License-Identifier: GPL-2.0-or-later
// What the benchmark program's parts share: the texts every contender
// converts, and the registration of each group of benchmarks.
#pragma once

#include <string>
#include <vector>

struct BenchText {
    std::string name;       // script and length, e.g. "western/2048"
    const char *iconv_name; // the code page's name for iconv
    std::string ansi;       // the text in the code page, exactly `length` bytes
    std::string utf8;       // the same text in UTF-8
};

// The texts that a process with this ANSI code page converts: ASCII and
// Western European under 1252, Cyrillic under 1251, ASCII and a mix of
// accented Latin, Cyrillic, Japanese and emoji under 65001, each 64 and 2048
// bytes long in the code page (in UTF-8, cut at the last whole character).
// Empty for other code pages.
std::vector<BenchText> bench_texts(unsigned code_page);

// The whole text converted by iconv; ends the program if iconv cannot.
std::string iconv_all(const char *to, const char *from, const std::string &text);

void register_converter_benchmarks(const std::vector<BenchText> &texts);
void register_command_benchmarks(unsigned code_page);

// vc_eval through the MPRIS client library on a private bus, in code page
// 65001 only; then the bus and its players are ended.
void register_mpris_benchmarks(unsigned code_page);
void end_mpris_benchmarks();
