// The module's own UTF-8 decoder and encoder, on their own.
#include <gtest/gtest.h>

#include "rule_names.h"

#include <string>
#include <vector>

#include "utf8_decode.h"
#include "utf8_encode.h"

namespace {

using Units = std::vector<unsigned>;

struct DecodeCase {
    const char *rule;
    std::string utf8;
    Units units;
};

// Names the case by its rule; gtest would otherwise print its raw bytes,
// unset ones inside the strings included.
void PrintTo(const DecodeCase &c, std::ostream *out) {
    *out << c.rule;
}

Units decode(const std::string &utf8) {
    const std::size_t count = count_utf16_units(utf8.c_str());
    // Guard units after the end show any write past the counted units.
    std::vector<WCHAR> buffer(count + 3, 0xBEEF);
    decode_utf8(utf8.c_str(), buffer.data());
    EXPECT_EQ(buffer[count], 0) << "terminator after the counted units";
    EXPECT_EQ(buffer[count + 1], 0xBEEF) << "written past the terminator";
    return Units(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count));
}

class DecodeUtf8 : public testing::TestWithParam<DecodeCase> {};

// Expected units are those of Python's bytes.decode('utf-8', 'replace'):
// one U+FFFD per maximal ill-formed subpart.
TEST_P(DecodeUtf8, MatchesMaximalSubpartReplacement) {
    EXPECT_EQ(decode(GetParam().utf8), GetParam().units);
}

const DecodeCase decode_cases[] = {
    {"empty", "", {}},
    {"ascii", "play", {'p', 'l', 'a', 'y'}},
    {"two and three bytes", "A\xC3\xA9\xE2\x82\xAC", {0x41, 0xE9, 0x20AC}},
    {"cjk", "\xE4\xB8\xAD", {0x4E2D}},
    {"four bytes become a pair", "\xF0\x9F\x98\x80x", {0xD83D, 0xDE00, 'x'}},
    {"highest code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
    {"stray continuation", "\x80", {0xFFFD}},
    {"two stray continuations", "\x80\x80", {0xFFFD, 0xFFFD}},
    {"overlong nul does not end the text",
     "a\xC0\x80"
     "b",
     {'a', 0xFFFD, 0xFFFD, 'b'}},
    {"overlong three bytes", "\xE0\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
    {"encoded surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
    {"above U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    {"never a first byte", "\xF5\xFE\xFF", {0xFFFD, 0xFFFD, 0xFFFD}},
    {"two bytes cut by the end", "\xC3", {0xFFFD}},
    {"three bytes cut by the end", "\xE2\x82", {0xFFFD}},
    {"four bytes cut by the end", "\xF0\x9F\x98", {0xFFFD}},
    {"cut short keeps what follows",
     "\xE2\x82"
     "A",
     {0xFFFD, 'A'}},
    {"four cut short keeps what follows",
     "\xF0\x9F"
     "A",
     {0xFFFD, 'A'}},
    {"mixed subparts",
     "\xE1\x80\xE2\xF0\x91\x92\xF1\xBF"
     "A",
     {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 'A'}},
};

INSTANTIATE_TEST_SUITE_P(Rules, DecodeUtf8, testing::ValuesIn(decode_cases), RuleName());

struct EncodeCase {
    const char *rule;
    Units units;
    std::string utf8;
};

// Names the case by its rule; gtest would otherwise print its raw bytes,
// unset ones inside the strings included.
void PrintTo(const EncodeCase &c, std::ostream *out) {
    *out << c.rule;
}

class EncodeUtf8 : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeUtf8, WritesCountedBytes) {
    std::vector<WCHAR> units(GetParam().units.begin(), GetParam().units.end());
    units.push_back(0);
    const std::size_t count = count_utf8_bytes(units.data());
    std::string out(count + 2, '\x7E');
    encode_utf8(units.data(), out.data());
    EXPECT_EQ(out[count], '\0');
    EXPECT_EQ(out[count + 1], '\x7E') << "written past the terminator";
    EXPECT_EQ(out.substr(0, count), GetParam().utf8);
}

const EncodeCase encode_cases[] = {
    {"ascii", {'a', 'b', 'c'}, "abc"},
    {"last one byte", {0x7F}, "\x7F"},
    {"first two bytes", {0x80}, "\xC2\x80"},
    {"last two bytes", {0x7FF}, "\xDF\xBF"},
    {"first three bytes", {0x800}, "\xE0\xA0\x80"},
    {"last three bytes", {0xFFFF}, "\xEF\xBF\xBF"},
    {"western", {0x41, 0xE9, 0x20AC}, "A\xC3\xA9\xE2\x82\xAC"},
    {"pair is one sequence", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
    {"highest pair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
    {"lone high at the end", {0xD83D}, "\xEF\xBF\xBD"},
    {"lone high before a letter",
     {0xD83D, 'A'},
     "\xEF\xBF\xBD"
     "A"},
    {"lone low",
     {0xDE00, 'A'},
     "\xEF\xBF\xBD"
     "A"},
    {"high high low", {0xD800, 0xD800, 0xDC00}, "\xEF\xBF\xBD\xF0\x90\x80\x80"},
};

INSTANTIATE_TEST_SUITE_P(Rules, EncodeUtf8, testing::ValuesIn(encode_cases), RuleName());

TEST(Utf16RoundTrip, EveryCodePointSurvivesEncodeThenDecode) {
    for (char32_t code_point = 1; code_point <= 0x10FFFF; ++code_point) {
        if (code_point >= 0xD800 && code_point <= 0xDFFF)
            continue;
        WCHAR units[3] = {};
        if (code_point > 0xFFFF) {
            units[0] = static_cast<WCHAR>(0xD800 + ((code_point - 0x10000) >> 10));
            units[1] = static_cast<WCHAR>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        } else {
            units[0] = static_cast<WCHAR>(code_point);
        }
        char utf8[5];
        encode_utf8(units, utf8);
        WCHAR back[3] = {0xBEEF, 0xBEEF, 0xBEEF};
        decode_utf8(utf8, back);
        ASSERT_EQ(back[0], units[0]) << std::hex << static_cast<unsigned long>(code_point);
        ASSERT_EQ(back[1], units[1]) << std::hex << static_cast<unsigned long>(code_point);
    }
}

} // namespace
