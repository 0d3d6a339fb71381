// SPDX-License-Identifier: GPL-2.0-or-later
// The module's own UTF-8 decoder and encoder, on their own.
#include <gtest/gtest.h>

#include "rule_names.h"

#include <cstring>
#include <string>
#include <utility>
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

// Decodes with the decoder's own choice of path, and checks that the path
// with every check gives the same units. The text is followed by bytes that
// would continue it, ASCII or continuation bytes, which the decoder must not
// read: it is bounded by the length alone.
Units decode(const std::string &utf8) {
    Units first;
    for (const char after : {'z', '\xA9'}) {
        const std::string text = utf8 + std::string(16, after);
        const Utf16Count count = count_utf16_units(text.c_str(), utf8.size());
        // Guard units after the end show any write past the counted units.
        std::vector<Utf16Unit> buffer(count.units + 2, 0xBEEF);
        decode_utf8(text.c_str(), utf8.size(), count, buffer.data());
        EXPECT_EQ(buffer[count.units], 0xBEEF) << "written past the counted units";
        std::vector<Utf16Unit> checked(count.units);
        decode_utf8(text.c_str(), utf8.size(), {count.units, false}, checked.data());
        EXPECT_TRUE(std::equal(checked.begin(), checked.end(), buffer.begin()));
        const Units units(buffer.begin(),
                          buffer.begin() + static_cast<std::ptrdiff_t>(count.units));
        if (after != 'z') {
            EXPECT_EQ(units, first) << "the bytes after the text changed its units";
        }
        first = units;
    }
    return first;
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
    {"a continuation byte too many after four bytes",
     "\xF0\x9F\x98\x80\x80",
     {0xD83D, 0xDE00, 0xFFFD}},
    {"a continuation byte too many after three bytes", "\xE2\x82\xAC\x80", {0x20AC, 0xFFFD}},
    {"four bytes where a continuation byte belongs",
     "\xE2\xF0\x9F\x98\x80\xC3\xF0\x9F\x98\x80\xE2\x82\xF0\x9F\x98\x80",
     {0xFFFD, 0xD83D, 0xDE00, 0xFFFD, 0xD83D, 0xDE00, 0xFFFD, 0xD83D, 0xDE00}},
    // Each in a row of its own: past the first that misfits a block, the rest of
    // the block is counted sequence by sequence, and the block check sees no more.
    {"four bytes after the first of two, then text",
     "\xC3\xF0\x9F\x98\x80x",
     {0xFFFD, 0xD83D, 0xDE00, 'x'}},
    {"four bytes after two of three, then text",
     "\xE2\x82\xF0\x9F\x98\x80x",
     {0xFFFD, 0xD83D, 0xDE00, 'x'}},
    {"highest code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
    {"zero bytes are units", std::string("a\0\xC3\xA9\0", 5), {'a', 0, 0xE9, 0}},
    {"stray continuation", "\x80", {0xFFFD}},
    {"two stray continuations", "\x80\x80", {0xFFFD, 0xFFFD}},
    {"overlong nul does not end the text",
     "a\xC0\x80"
     "b",
     {'a', 0xFFFD, 0xFFFD, 'b'}},
    {"overlong three bytes", "\xE0\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
    {"overlong three bytes up to the highest",
     "\xE0\x90\x80\xE0\x9F\xBF",
     {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    {"overlong four bytes", "\xF0\x8F\xBF\xBF", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    {"encoded surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
    {"above U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    {"never a first byte, even before continuation bytes",
     "\xF5\x80\x80\x80\xFE\xFF",
     {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
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

// Text is counted in blocks of bytes, four-byte sequences checked apart; where
// a block does not fit, counting goes sequence by sequence from the last
// sequence before it to the end of the block, and then by blocks again. Each
// case's sequences are placed at every offset around the ends of the first two
// blocks (after the first two bytes, 64 bytes each), and blocks follow them.
TEST(DecodeUtf8, SameUnitsWhereverTheTextTurnsIllFormed) {
    for (const DecodeCase &c : decode_cases) {
        for (std::size_t offset = 58; offset <= 138; offset += offset == 74 ? 48 : 1) {
            const std::string text = std::string(offset, 'a') + "\xD0\x96\xE2\x82\xAC" + c.utf8 +
                                     std::string(70, 'b') + "\xD0\x96";
            Units expected(offset, 'a');
            expected.push_back(0x416);
            expected.push_back(0x20AC);
            expected.insert(expected.end(), c.units.begin(), c.units.end());
            expected.insert(expected.end(), 70, 'b');
            expected.push_back(0x416);
            EXPECT_EQ(decode(text), expected) << c.rule << " after " << offset << " bytes";
        }
    }
}

// Well-formed text goes the fast way: ASCII runs and runs of two-byte sequences
// of every length up to past a word, then what may end a run.
TEST(DecodeUtf8, PlainTextOfEveryRunLength) {
    const std::pair<std::string, Units> ends[] = {{"", {}},
                                                  {"z", {'z'}},
                                                  {std::string(1, '\0'), {0}},
                                                  {"\xE2\x82\xAC", {0x20AC}},
                                                  {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}}};
    for (std::size_t ascii = 0; ascii <= 10; ++ascii) {
        for (std::size_t two = 0; two <= 10; ++two) {
            for (const auto &[end, end_units] : ends) {
                std::string text(ascii, 'a');
                Units expected(ascii, 'a');
                for (std::size_t i = 0; i < two; ++i) {
                    text += "\xD0\x96";
                    expected.push_back(0x416);
                }
                text += end;
                expected.insert(expected.end(), end_units.begin(), end_units.end());
                // Twice, so that each run also starts after every kind of end.
                text += text;
                const Units once = expected;
                expected.insert(expected.end(), once.begin(), once.end());
                ASSERT_TRUE(count_utf16_units(text.c_str(), text.size()).plain);
                EXPECT_EQ(decode(text), expected)
                    << ascii << " ASCII, " << two << " two-byte, end " << end_units.size();
            }
        }
    }
}

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

// The units are followed by a low surrogate, which a high one at their end must
// not take as its partner: the encoder is bounded by the length alone.
TEST_P(EncodeUtf8, WritesCountedBytes) {
    std::vector<Utf16Unit> units(GetParam().units.begin(), GetParam().units.end());
    const std::size_t length = units.size();
    units.push_back(0xDE00);
    const std::size_t count = count_utf8_bytes(units.data(), length);
    std::string out(count + 1, '\x7E');
    encode_utf8(units.data(), length, out.data());
    EXPECT_EQ(out[count], '\x7E') << "written past the counted bytes";
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
    // Every length boundary in a text that holds surrogates.
    {"every boundary beside surrogates",
     {0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0xD83D, 0xDE00, 0xDE00},
     "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x9F\x98\x80\xEF\xBF\xBD"},
    {"zero units are bytes", {'a', 0, 0xE9, 0}, std::string("a\0\xC3\xA9\0", 5)},
};

INSTANTIATE_TEST_SUITE_P(Rules, EncodeUtf8, testing::ValuesIn(encode_cases), RuleName());

// ASCII runs are decoded and encoded a machine word at a time; whatever
// follows a run must come out as if the text were taken character by
// character, whichever byte of a word the run ends on.
struct RunTail {
    const char *rule;
    std::string utf8;
    Units units;
};

void PrintTo(const RunTail &c, std::ostream *out) {
    *out << c.rule;
}

const RunTail decode_tails[] = {
    {"end", "", {}},
    {"two bytes", "\xC3\xA9", {0xE9}},
    {"three bytes", "\xE2\x82\xAC", {0x20AC}},
    {"four bytes", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
    {"stray continuation", "\x80", {0xFFFD}},
    {"overlong", "\xC1\xBF", {0xFFFD, 0xFFFD}},
    {"cut by the end", "\xE2\x82", {0xFFFD}},
    {"cut before ascii",
     "\xC3"
     "b",
     {0xFFFD, 'b'}},
    {"two bytes then ascii", "\xC3\xA9xyz", {0xE9, 'x', 'y', 'z'}},
};

class DecodeAfterAsciiRun : public testing::TestWithParam<RunTail> {};

// A run of ASCII letters, or of Cyrillic ones (two bytes each), and its UTF-8.
std::pair<Units, std::string> letters(std::size_t run, bool cyrillic) {
    Units units;
    std::string utf8;
    for (std::size_t i = 0; i < run; ++i) {
        const auto unit = static_cast<char16_t>((cyrillic ? 0x430 : 'a') + i);
        units.push_back(unit);
        if (cyrillic) {
            utf8 += static_cast<char>(0xC0 | unit >> 6);
            utf8 += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            utf8 += static_cast<char>(unit);
        }
    }
    return {units, utf8};
}

TEST_P(DecodeAfterAsciiRun, EndsTheRunAtEveryOffset) {
    for (std::size_t run = 0; run <= 16; ++run) {
        for (const bool cyrillic : {false, true}) {
            SCOPED_TRACE(testing::Message() << "run of " << run << (cyrillic ? " Cyrillic" : ""));
            auto [units, utf8] = letters(run, cyrillic);
            utf8 += GetParam().utf8;
            units.insert(units.end(), GetParam().units.begin(), GetParam().units.end());
            EXPECT_EQ(decode(utf8), units);
            // The same after a two-byte letter, which moves the run against the
            // words of the text.
            Units shifted = {0xE9};
            shifted.insert(shifted.end(), units.begin(), units.end());
            EXPECT_EQ(decode("\xC3\xA9" + utf8), shifted);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tails, DecodeAfterAsciiRun, testing::ValuesIn(decode_tails), RuleName());

struct UnitTail {
    const char *rule;
    Units units;
    std::string utf8;
};

void PrintTo(const UnitTail &c, std::ostream *out) {
    *out << c.rule;
}

const UnitTail encode_tails[] = {
    {"end", {}, ""},
    {"two bytes", {0xE9}, "\xC3\xA9"},
    {"highest two bytes", {0x7FF}, "\xDF\xBF"},
    {"three bytes", {0x20AC}, "\xE2\x82\xAC"},
    {"lowest three bytes", {0x800}, "\xE0\xA0\x80"},
    {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
    {"lone high", {0xD83D}, "\xEF\xBF\xBD"},
    {"lone low then ascii",
     {0xDE00, 'z'},
     "\xEF\xBF\xBD"
     "z"},
    {"zero unit is a byte", {0, 'z', 0, 'z', 'z'}, std::string("\0z\0zz", 5)},
    {"one-byte form last", {0xE9, 'z'}, "\xC3\xA9z"},
    {"DEL among two-byte forms",
     {0x416, 0x7F, 0x416, 0x416, 0x416},
     "\xD0\x96\x7F\xD0\x96\xD0\x96\xD0\x96"},
};

class EncodeAfterAsciiRun : public testing::TestWithParam<UnitTail> {};

TEST_P(EncodeAfterAsciiRun, EndsTheRunAtEveryOffset) {
    for (std::size_t run = 0; run <= 16; ++run) {
        for (const bool cyrillic : {false, true}) {
            SCOPED_TRACE(testing::Message() << "run of " << run << (cyrillic ? " Cyrillic" : ""));
            for (const Units &before : {Units{}, Units{0x416}}) {
                std::vector<Utf16Unit> units(before.begin(), before.end());
                std::string expected = before.empty() ? "" : "\xD0\x96";
                const auto [run_units, run_utf8] = letters(run, cyrillic);
                units.insert(units.end(), run_units.begin(), run_units.end());
                expected += run_utf8;
                units.insert(units.end(), GetParam().units.begin(), GetParam().units.end());
                expected += GetParam().utf8;
                const std::size_t length = units.size();
                units.push_back(0xDE00); // not the partner of a high surrogate at the end
                const std::size_t count = count_utf8_bytes(units.data(), length);
                ASSERT_EQ(count, expected.size());
                std::string out(count + 1, '\x7E');
                encode_utf8(units.data(), length, out.data());
                EXPECT_EQ(out.substr(0, count), expected);
                EXPECT_EQ(out[count], '\x7E') << "written past the counted bytes";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tails, EncodeAfterAsciiRun, testing::ValuesIn(encode_tails), RuleName());

// The byte count adds up blocks of units in 16-bit sums; a long text of the
// widest units, and a surrogate in a late block, must still count exactly.
TEST(CountUtf8Bytes, LongTextsCountEveryBlock) {
    const std::size_t length = 3 * 0x4000 + 5;
    std::vector<Utf16Unit> units(length, 0x20AC);
    EXPECT_EQ(count_utf8_bytes(units.data(), length), 3 * length);
    units[length - 2] = 0xD83D;
    units[length - 1] = 0xDE00;
    EXPECT_EQ(count_utf8_bytes(units.data(), length), 3 * (length - 2) + 4);
    // A pair across the end of a block; a low surrogate that ends the block is
    // not the partner of a high one that starts the next.
    units[0x4000 - 1] = 0xD83D;
    units[0x4000] = 0xDE00;
    units[2 * 0x4000 - 1] = 0xDE00;
    units[2 * 0x4000] = 0xD83D;
    EXPECT_EQ(count_utf8_bytes(units.data(), length), 3 * (length - 4) + 4 + 4);
}

TEST(Utf16RoundTrip, EveryCodePointSurvivesEncodeThenDecode) {
    for (char32_t code_point = 1; code_point <= 0x10FFFF; ++code_point) {
        if (code_point >= 0xD800 && code_point <= 0xDFFF)
            continue;
        Utf16Unit units[3] = {};
        if (code_point > 0xFFFF) {
            units[0] = static_cast<Utf16Unit>(0xD800 + ((code_point - 0x10000) >> 10));
            units[1] = static_cast<Utf16Unit>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        } else {
            units[0] = static_cast<Utf16Unit>(code_point);
        }
        char utf8[5] = {};
        encode_utf8(units, code_point > 0xFFFF ? 2 : 1, utf8);
        Utf16Unit back[3] = {};
        decode_utf8(utf8, std::strlen(utf8), count_utf16_units(utf8, std::strlen(utf8)), back);
        ASSERT_EQ(back[0], units[0]) << std::hex << static_cast<unsigned long>(code_point);
        ASSERT_EQ(back[1], units[1]) << std::hex << static_cast<unsigned long>(code_point);
    }
}

} // namespace
