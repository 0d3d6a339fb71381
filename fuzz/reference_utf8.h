// SPDX-License-Identifier: GPL-2.0-or-later
// A UTF-8 decoder and encoder for the fuzz targets to check the module
// against, written apart from the module's own: straight from the table of
// well-formed byte sequences, with no shortcuts. Built without coverage
// tracing, so that the fuzzer neither explores nor pays for it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace reference {

// The code points of text[0, end), one U+FFFD for each maximal ill-formed
// subpart (a run of bytes that begins a well-formed sequence but is not one).
std::vector<char32_t> decode_replacing(const unsigned char *text, std::size_t end);

// Whether text[0, end) is well-formed UTF-8 throughout.
bool well_formed_utf8(const unsigned char *text, std::size_t end);

std::vector<char16_t> utf16_of(const std::vector<char32_t> &code_points);

// The code points of UTF-16 units in which every surrogate has its partner.
std::vector<char32_t> code_points_of(const std::vector<char16_t> &units);

std::string utf8_of(const std::vector<char32_t> &code_points);

// UTF-16 as a UTF-8 encoder that follows the rules should read it: a valid
// surrogate pair is one code point, a surrogate without its partner U+FFFD.
std::vector<char16_t> with_lone_surrogates_replaced(const std::vector<char16_t> &units);

} // namespace reference
