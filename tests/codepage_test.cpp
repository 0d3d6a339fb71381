// SPDX-License-Identifier: GPL-2.0-or-later
// Rules of the POSIX code-page calls, checked against kernel32's contract and, for character
// tables, against iconv read independently here.
//
// Suites named AnsiCp<N> check the process-wide ANSI code page and only mean something when the
// process starts with a locale that selects <N> (e.g. LC_ALL=ru_RU.CP1251 for 1251); elsewhere
// they fail.
#include "codepage.h"
#include "locale_code_page.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr DWORD untouched = 0xDEADBEEF;
constexpr UINT single_byte_code_pages[] = {874,  1250, 1251, 1252, 1253,
                                           1254, 1255, 1256, 1257, 1258};

// Counts, converts, and checks that both calls agree.
std::u16string to_wide(UINT cp, std::string_view bytes, DWORD flags = 0) {
    const int count =
        MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    EXPECT_GT(count, 0) << "cp " << cp << " error " << GetLastError();
    std::u16string units(static_cast<std::size_t>(count > 0 ? count : 0), u'\0');
    const int written = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                                            units.data(), count);
    EXPECT_EQ(written, count) << "cp " << cp;
    return units;
}

std::string to_bytes(UINT cp, std::u16string_view units, DWORD flags = 0) {
    const int count = WideCharToMultiByte(cp, flags, units.data(), static_cast<int>(units.size()),
                                          nullptr, 0, nullptr, nullptr);
    EXPECT_GT(count, 0) << "cp " << cp << " error " << GetLastError();
    std::string bytes(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    const int written = WideCharToMultiByte(cp, flags, units.data(), static_cast<int>(units.size()),
                                            bytes.data(), count, nullptr, nullptr);
    EXPECT_EQ(written, count) << "cp " << cp;
    return bytes;
}

// iconv's reading of one byte sequence, or nothing when iconv refuses it.
std::optional<char16_t> iconv_decode(iconv_t cd, std::string_view bytes) {
    std::string in(bytes);
    unsigned char out[8];
    char *in_ptr = in.data();
    char *out_ptr = reinterpret_cast<char *>(out);
    std::size_t in_left = in.size();
    std::size_t out_left = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &out_ptr, &out_left) == static_cast<std::size_t>(-1) ||
        sizeof out - out_left != 2) {
        return std::nullopt;
    }
    return static_cast<char16_t>(out[0] | out[1] << 8);
}

// A decoder from code page cp to UTF-16, closed when the test ends.
iconv_t iconv_for(UINT cp) {
    const std::string name = "CP" + std::to_string(cp);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr)
        << "iconv lacks " << name;
    return cd;
}

// ---------------------------------------------------------------------------------------------

struct BadCall {
    const char *rule;
    UINT cp;
    DWORD flags;
    bool null_source;
    int srclen;
    bool null_destination;
    int dstlen;
    DWORD error;
};

void PrintTo(const BadCall &call, std::ostream *out) {
    *out << call.rule;
}

class MultiByteArgumentRules : public testing::TestWithParam<BadCall> {};

TEST_P(MultiByteArgumentRules, FailWithoutTouchingOutput) {
    const BadCall &call = GetParam();
    WCHAR out[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    SetLastError(untouched);
    EXPECT_EQ(MultiByteToWideChar(call.cp, call.flags, call.null_source ? nullptr : "abc",
                                  call.srclen, call.null_destination ? nullptr : out, call.dstlen),
              0);
    EXPECT_EQ(GetLastError(), call.error);
    EXPECT_EQ(out[0], u'x');
}

INSTANTIATE_TEST_SUITE_P(
    Calls, MultiByteArgumentRules,
    testing::Values(
        BadCall{"NullSource", 1252, 0, true, 3, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"ZeroLength", 1252, 0, false, 0, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"ZeroLengthCounting", 1252, 0, false, 0, true, 0, ERROR_INVALID_PARAMETER},
        BadCall{"NullOutputWithRoom", 1252, 0, false, 3, true, 8, ERROR_INVALID_PARAMETER},
        BadCall{"NegativeRoom", 1252, 0, false, 3, false, -1, ERROR_INVALID_PARAMETER},
        BadCall{"UnknownCodePage", 12345, 0, false, 3, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"OemCodePage", 437, 0, false, 3, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"CompositeFlag", 1252, 0x2, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"WideCharFlag", 1252, WC_COMPOSITECHECK, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"DbcsUnknownFlag", 932, 0x100, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"InvalidCharsFlag", 1252, 0x8, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"Utf8Precomposed", 65001, MB_PRECOMPOSED, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"Utf8ZeroLength", 65001, 0, false, 0, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"Utf8NegativeRoom", 65001, 0, false, 3, false, -1, ERROR_INVALID_PARAMETER}),
    [](const testing::TestParamInfo<BadCall> &info) { return std::string(info.param.rule); });

class WideCharArgumentRules : public testing::TestWithParam<BadCall> {};

TEST_P(WideCharArgumentRules, FailWithoutTouchingOutput) {
    const BadCall &call = GetParam();
    char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    SetLastError(untouched);
    EXPECT_EQ(WideCharToMultiByte(call.cp, call.flags, call.null_source ? nullptr : u"abc",
                                  call.srclen, call.null_destination ? nullptr : out, call.dstlen,
                                  nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), call.error);
    EXPECT_EQ(out[0], 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Calls, WideCharArgumentRules,
    testing::Values(
        BadCall{"NullSource", 1252, 0, true, 3, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"ZeroLength", 1252, 0, false, 0, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"NullOutputWithRoom", 1252, 0, false, 3, true, 8, ERROR_INVALID_PARAMETER},
        BadCall{"NegativeRoom", 1252, 0, false, 3, false, -1, ERROR_INVALID_PARAMETER},
        BadCall{"UnknownCodePage", 1, 0, false, 3, false, 8, ERROR_INVALID_PARAMETER},
        BadCall{"MultiByteFlag", 1252, MB_PRECOMPOSED, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"Utf8OnlyFlag", 1252, 0x80, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"DiscardMarksFlag", 1252, 0x10, false, 3, false, 8, ERROR_INVALID_FLAGS},
        BadCall{"Utf8CompositeCheck", 65001, WC_COMPOSITECHECK, false, 3, false, 8,
                ERROR_INVALID_FLAGS},
        BadCall{"Utf8NoBestFit", 65001, WC_NO_BEST_FIT_CHARS, false, 3, false, 8,
                ERROR_INVALID_FLAGS},
        BadCall{"Utf8NullSource", 65001, 0, true, 3, false, 8, ERROR_INVALID_PARAMETER}),
    [](const testing::TestParamInfo<BadCall> &info) { return std::string(info.param.rule); });

// A caller's default character, and the report whether one was used, are not offered.
TEST(ArgumentRules, DefaultCharacterArgumentsAreRefused) {
    char out[4];
    BOOL used = 0;
    SetLastError(untouched);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"a", 1, out, 4, "*", nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    SetLastError(untouched);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"a", 1, out, 4, nullptr, &used), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(ArgumentRules, SuccessLeavesLastErrorAlone) {
    WCHAR wide[4];
    char narrow[4];
    SetLastError(untouched);
    EXPECT_EQ(MultiByteToWideChar(1252, MB_PRECOMPOSED, "abc", -1, wide, 4), 4);
    EXPECT_EQ(WideCharToMultiByte(1252, WC_COMPOSITECHECK, u"abc", -1, narrow, 4, nullptr, nullptr),
              4);
    EXPECT_EQ(GetLastError(), untouched);
}

TEST(ArgumentRules, LastErrorIsPerThread) {
    SetLastError(untouched);
    DWORD seen_by_other = 0;
    std::thread other([&] {
        MultiByteToWideChar(1252, 0, nullptr, 1, nullptr, 0);
        seen_by_other = GetLastError();
    });
    other.join();
    EXPECT_EQ(seen_by_other, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLastError(), untouched);
}

TEST(ArgumentRules, LstrlenA) {
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("play"), 4);
}

// ---------------------------------------------------------------------------------------------

TEST(LengthRules, MinusOneCountsAndConvertsTheTerminator) {
    for (UINT cp : {1252u, 932u, 65001u}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "ab", -1, nullptr, 0), 3);
        WCHAR wide[3] = {u'x', u'x', u'x'};
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "ab", -1, wide, 3), 3);
        EXPECT_EQ(std::u16string_view(wide, 3), std::u16string_view(u"ab\0", 3));

        EXPECT_EQ(WideCharToMultiByte(cp, 0, u"ab", -1, nullptr, 0, nullptr, nullptr), 3);
        char narrow[3] = {'x', 'x', 'x'};
        EXPECT_EQ(WideCharToMultiByte(cp, 0, u"ab", -1, narrow, 3, nullptr, nullptr), 3);
        EXPECT_EQ(std::string_view(narrow, 3), std::string_view("ab\0", 3));
    }
}

// Nothing past the terminator is read, even when the unit before it could start a composition
// (the heap buffers end exactly at the terminator, for the sanitizers).
TEST(LengthRules, MinusOneReadsNothingPastTheTerminator) {
    const std::vector<WCHAR> composed = {u'e', 0x0301, 0};
    const std::vector<WCHAR> bare = {u'e', 0};
    for (UINT cp : {1252u, 932u}) {
        SCOPED_TRACE(cp);
        char out[4] = {'#', '#', '#', '#'};
        EXPECT_EQ(WideCharToMultiByte(cp, WC_COMPOSITECHECK, composed.data(), -1, nullptr, 0,
                                      nullptr, nullptr),
                  cp == 1252 ? 2 : 3);
        EXPECT_EQ(
            WideCharToMultiByte(cp, WC_COMPOSITECHECK, bare.data(), -1, out, 4, nullptr, nullptr),
            2);
        EXPECT_EQ(std::string_view(out, 3), std::string_view("e\0#", 3));
    }
    const std::vector<char> lead = {'\x93', 0};
    WCHAR wide[3] = {u'#', u'#', u'#'};
    EXPECT_EQ(MultiByteToWideChar(932, 0, lead.data(), -1, wide, 3), 2);
    EXPECT_EQ(std::u16string_view(wide, 3), std::u16string_view(u"\u30FB\0#", 3));
    const std::vector<char> cut = {'\xE6', '\x97', 0};
    EXPECT_EQ(MultiByteToWideChar(65001, 0, cut.data(), -1, wide, 3), 2);
    EXPECT_EQ(std::u16string_view(wide, 3), std::u16string_view(u"\uFFFD\0#", 3));
    const std::vector<WCHAR> high = {0xD83D, 0};
    char narrow[5] = {'#', '#', '#', '#', '#'};
    EXPECT_EQ(WideCharToMultiByte(65001, 0, high.data(), -1, narrow, 5, nullptr, nullptr), 4);
    EXPECT_EQ(std::string_view(narrow, 5), std::string_view("\xEF\xBF\xBD\0#", 5));
}

// kernel32 takes every negative length as "up to and including the terminator".
TEST(LengthRules, AnyNegativeLengthActsAsMinusOne) {
    for (UINT cp : {1252u, 65001u}) {
        SetLastError(untouched);
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "abc", -2002, nullptr, 0), 4);
        EXPECT_EQ(WideCharToMultiByte(cp, 0, u"abc", -7, nullptr, 0, nullptr, nullptr), 4);
        EXPECT_EQ(GetLastError(), untouched);
    }
}

TEST(LengthRules, ExplicitLengthConvertsEmbeddedZeros) {
    EXPECT_EQ(to_wide(1252, std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(to_bytes(1252, std::u16string_view(u"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(to_wide(65001, std::string_view("\xC3\xA9\0\xC3\xA9", 5)),
              std::u16string(u"\u00E9\0\u00E9", 3));
    EXPECT_EQ(to_bytes(65001, std::u16string_view(u"\u00E9\0\u00E9", 3)),
              std::string("\xC3\xA9\0\xC3\xA9", 5));
}

struct CountCase {
    UINT cp;
    std::string_view bytes;
};

// Counting calls walk the input exactly like converting calls.
TEST(LengthRules, CountingAgreesWithConverting) {
    const CountCase cases[] = {
        {1252, "plain ascii"},
        {1252, "\x41\xE9\x80\x81\xFF"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {932, "\x93\xFA\x96\x7B\x8C\xEA"},
        {932, "\xB1\xB2\x81"}, // half-width katakana, then a lone lead byte
        {932, std::string_view("\x81\0\x41", 3)},
        {936, "\xD6\xD0\xCE\xC4\x80"},
        {949, "\xC7\xD1\xB1\xDB"},
        {950, "\xA4\xA4\xA4\xE5"},
        {65001, "caf\xC3\xA9 \xF0\x9F\x98\x80 \xE6\x9D\xB1\xE4\xBA\xAC \xC0\x80 \xE6\x97"},
    };
    for (const CountCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.cp << " " << testing::PrintToString(c.bytes));
        const std::u16string units = to_wide(c.cp, c.bytes);
        for (DWORD flags : {0u, static_cast<DWORD>(WC_COMPOSITECHECK)}) {
            if (c.cp != 65001 || flags == 0) {
                to_bytes(c.cp, units, flags);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------

TEST(BufferRules, TooSmallFailsWithoutWritingPastTheEnd) {
    for (UINT cp : {1252u, 932u, 65001u}) {
        SCOPED_TRACE(cp);
        const std::string bytes = cp == 932     ? "\x93\xFA\x96\x7B"
                                  : cp == 65001 ? "a\xC3\xA9z"
                                                : "abcd";
        const int needed = MultiByteToWideChar(cp, 0, bytes.data(), 4, nullptr, 0);
        std::vector<WCHAR> wide(static_cast<std::size_t>(needed) + 1, u'#');
        SetLastError(untouched);
        EXPECT_EQ(MultiByteToWideChar(cp, 0, bytes.data(), 4, wide.data(), needed - 1), 0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(wide[static_cast<std::size_t>(needed - 1)], u'#');

        const std::u16string units = cp == 1252 ? u"abcd" : u"\u65E5\u672C";
        const int bytes_needed =
            WideCharToMultiByte(cp, 0, units.data(), -1, nullptr, 0, nullptr, nullptr);
        std::string narrow(static_cast<std::size_t>(bytes_needed) + 1, '#');
        SetLastError(untouched);
        EXPECT_EQ(WideCharToMultiByte(cp, 0, units.data(), -1, narrow.data(), bytes_needed - 1,
                                      nullptr, nullptr),
                  0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        EXPECT_EQ(narrow[static_cast<std::size_t>(bytes_needed - 1)], '#');
    }
}

TEST(BufferRules, DoubleByteCharacterIsNeverSplit) {
    char narrow[3] = {'#', '#', '#'};
    SetLastError(untouched);
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"a\u65E5", 2, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(narrow[1], '#');
    EXPECT_EQ(narrow[2], '#');
}

TEST(BufferRules, ExactFitSucceeds) {
    WCHAR wide[2];
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x93\xFA\x96\x7B", 4, wide, 2), 2);
    char narrow[4];
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u65E5\u672C", 2, narrow, 4, nullptr, nullptr), 4);
    // No terminator or spare byte is written after the text, whatever its last character.
    for (const std::u16string_view text :
         {u"e\u00E9x", u"ex\u00E9", u"\u00E9\u00E9\u00E9\u00E9\u00E9x"}) {
        std::string out(static_cast<std::size_t>(to_bytes(65001, text).size()) + 1, '#');
        const int room = static_cast<int>(out.size()) - 1;
        EXPECT_EQ(WideCharToMultiByte(65001, 0, text.data(), static_cast<int>(text.size()),
                                      out.data(), room, nullptr, nullptr),
                  room);
        EXPECT_EQ(out.back(), '#');
    }
}

// ---------------------------------------------------------------------------------------------

TEST(SingleByteTables, Cp1252EveryByteAgreesWithIconvAndUndefinedBytesAreLatin1) {
    iconv_t cd = iconv_for(1252);
    for (unsigned byte = 0; byte < 256; ++byte) {
        const std::string in(1, static_cast<char>(byte));
        const std::optional<char16_t> expected = iconv_decode(cd, in);
        const std::u16string got = to_wide(1252, in);
        ASSERT_EQ(got.size(), 1U);
        EXPECT_EQ(got[0], expected.value_or(static_cast<char16_t>(byte))) << "byte " << byte;
        const bool undefined =
            byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
        EXPECT_EQ(!expected.has_value(), undefined) << "byte " << byte;
    }
    iconv_close(cd);
}

TEST(SingleByteTables, EveryCodePageAgreesWithIconvWhereIconvDefinesTheByte) {
    for (UINT cp : single_byte_code_pages) {
        iconv_t cd = iconv_for(cp);
        for (unsigned byte = 0; byte < 256; ++byte) {
            const std::string in(1, static_cast<char>(byte));
            if (const auto expected = iconv_decode(cd, in)) {
                EXPECT_EQ(to_wide(cp, in), std::u16string(1, *expected))
                    << "cp " << cp << " byte " << byte;
            }
        }
        iconv_close(cd);
    }
}

// Mostly ASCII text is widened whole and its other bytes are looked up, a word at a time: every
// byte must land where it stood, before and after the first 64 bytes and in the last, short, word.
TEST(SingleByteTables, HighBytesAmongAsciiStayInPlace) {
    for (UINT cp : {1251u, 1252u}) {
        for (std::size_t at = 0; at < 83; ++at) {
            std::string text(83, 'a');
            text[at] = '\xE9';
            text[(at * 7 + 3) % text.size()] = '\xC0';
            text[(at * 5 + 1) % text.size()] = '\x9F'; // just below cp 1252's Latin-1 range
            std::u16string expected;
            for (const char byte : text) {
                expected += to_wide(cp, std::string(1, byte));
            }
            EXPECT_EQ(to_wide(cp, text), expected) << "cp " << cp << ", 0xE9 at " << at;
        }
    }
}

// Units that are not the byte of their own value (U+009F and U+0100 lie just outside cp 1252's
// Latin-1 range), among units that are, convert as they do one by one up to the terminator.
TEST(SingleByteTables, OtherUnitsAmongLatinOneStayInPlace) {
    for (UINT cp : {1251u, 1252u}) {
        for (std::size_t at = 0; at < 83; ++at) {
            std::u16string text(83, u'\u00E9');
            text[at] = u'\u20AC';
            text[(at * 7 + 3) % text.size()] = u'\u009F';
            text[(at * 5 + 1) % text.size()] = u'\u0100';
            text[(at * 3 + 2) % text.size()] = u'a';
            char one_by_one[84] = {};
            EXPECT_EQ(WideCharToMultiByte(cp, 0, text.c_str(), -1, one_by_one, sizeof one_by_one,
                                          nullptr, nullptr),
                      84);
            EXPECT_EQ(to_bytes(cp, text), one_by_one) << "cp " << cp << ", U+20AC at " << at;
        }
    }
}

// Where a code page's tables cannot be read, ASCII text is converted without them.
TEST(AllTables, AsciiReadsAlikeInEveryCodePage) {
    std::string bytes;
    std::u16string units;
    for (int c = 1; c < 0x80; ++c) {
        bytes += static_cast<char>(c);
        units += static_cast<char16_t>(c);
    }
    for (UINT cp : {874u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u, 932u, 936u,
                    949u, 950u}) {
        EXPECT_EQ(to_wide(cp, bytes), units) << cp;
        EXPECT_EQ(to_bytes(cp, units), bytes) << cp;
    }
}

TEST(SingleByteTables, EveryByteRoundTrips) {
    for (UINT cp : single_byte_code_pages) {
        std::string all;
        for (unsigned byte = 1; byte < 256; ++byte) {
            all += static_cast<char>(byte);
        }
        EXPECT_EQ(to_bytes(cp, to_wide(cp, all)), all) << "cp " << cp;
    }
}

// Windows' private-use characters for bytes its tables leave undefined, and 1255's 0xCA.
TEST(SingleByteTables, UndefinedHighBytesFollowWindows) {
    EXPECT_EQ(to_wide(1253, "\xAA\xD2\xFF"), u"\uF8F9\uF8FA\uF8FB");
    EXPECT_EQ(to_wide(1255, "\xCA\xD9\xDF\xFB\xFC\xFF"), u"\u05BA\uF88D\uF893\uF894\uF895\uF896");
    EXPECT_EQ(to_wide(1257, "\xA1\xA5"), u"\uF8FC\uF8FD");
    EXPECT_EQ(to_wide(874, "\xDB\xDE\xFC\xFF"), u"\uF8C1\uF8C4\uF8C5\uF8C8");
}

// Bytes that iconv refuses must not turn into Latin-1 letters the code page does not have:
// they are lead bytes or Windows' private-use characters.
TEST(DoubleByteTables, OtherUndefinedBytesBecomeTheDefaultUnit) {
    EXPECT_EQ(to_wide(949, "\xFF"), u"\uF8F7");
    EXPECT_EQ(to_bytes(949, u"\uF8F7"), "\xFF");
    EXPECT_EQ(to_wide(950, "\xFE"), u"?");
    EXPECT_EQ(to_bytes(949, u"\u00FF\u00C9"), "??");
    EXPECT_EQ(to_bytes(950, u"\u00FE"), "?");
}

// Windows reads every byte from 81 to FE as a lead byte in these code pages, also in the rows
// it reserves for user-defined characters, which iconv does not know: such a byte takes the
// next one as its trail, and no character is ever written as that byte alone.
TEST(DoubleByteTables, UserDefinedRowsAreLeadBytesToo) {
    EXPECT_EQ(to_wide(950, "\x81\x41z"), u"?z");
    EXPECT_EQ(to_wide(950, "\x9F"), u"?");
    EXPECT_EQ(to_wide(949, "\xC9\xA1z\xFE\xFE"), u"?z?");
    EXPECT_EQ(to_bytes(950, u"\u0081\u009FA"), "??A");
    EXPECT_EQ(to_bytes(936, u"\u0081"), "?");
}

TEST(SingleByteTables, CyrillicBothWays) {
    const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0";
    const std::u16string text = u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440";
    EXPECT_EQ(to_wide(1251, bytes), text);
    EXPECT_EQ(to_bytes(1251, text), bytes);
}

TEST(SingleByteTables, EuroAndAccentsIn1252) {
    EXPECT_EQ(to_wide(1252, "\x41\xE9\x80"), u"\u0041\u00E9\u20AC");
    EXPECT_EQ(to_bytes(1252, u"\u0041\u00E9\u20AC"), "\x41\xE9\x80");
}

// 1255 and 1258 carry combining marks as bytes of their own; a conversion keeps them apart.
TEST(SingleByteTables, MarksStaySeparateIn1258) {
    EXPECT_EQ(to_wide(1258, "a\xEC"), u"a\u0301");
    EXPECT_EQ(to_bytes(1258, u"a\u0301"), "a\xEC");
}

// ---------------------------------------------------------------------------------------------

TEST(DoubleByteTables, JapaneseBothWays) {
    EXPECT_EQ(to_wide(932, "\x93\xFA\x96\x7B"), u"\u65E5\u672C");
    EXPECT_EQ(to_bytes(932, u"\u65E5\u672C"), "\x93\xFA\x96\x7B");
    EXPECT_EQ(to_wide(932, "\xB1"), u"\uFF71"); // half-width katakana is one byte
}

TEST(DoubleByteTables, LeadByteWithoutTrailBecomesDefaultUnit) {
    EXPECT_EQ(to_wide(932, "a\x93"), u"a\u30FB");
    EXPECT_EQ(to_wide(932, std::string_view("\x93\0b", 3)), std::u16string(u"\u30FB\0b", 3));
    EXPECT_EQ(to_wide(936, "\xD6"), u"?");
}

TEST(DoubleByteTables, UndefinedPairTakesBothBytes) {
    EXPECT_EQ(to_wide(932, "\x81\x20x"), u"\u30FBx");
}

TEST(DoubleByteTables, OtherCodePagesBothWays) {
    struct Case {
        UINT cp;
        std::string_view bytes;
        std::u16string_view units;
    };
    const Case cases[] = {
        {936, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
        {936, "\x80", u"\u20AC"},
        {949, "\xC7\xD1\xB1\xDB", u"\uD55C\uAE00"},
        {950, "\xA4\xA4\xA4\xE5", u"\u4E2D\u6587"},
        {65001, "Caf\xC3\xA9 \xD0\x97\xE6\x9D\xB1 \xF0\x9F\x98\x80",
         u"Caf\u00E9 \u0417\u6771 \xD83D\xDE00"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(to_wide(c.cp, c.bytes), c.units) << c.cp;
        EXPECT_EQ(to_bytes(c.cp, c.units), c.bytes) << c.cp;
    }
}

// Where the table has one character twice, the encoder picks Windows' code: JIS X 0208 over
// NEC row 13, and IBM extensions over their NEC-selected copies.
TEST(DoubleByteTables, Cp932DuplicatesEncodeLikeWindows) {
    EXPECT_EQ(to_bytes(932, u"\u2252"), "\x81\xE0");
    EXPECT_EQ(to_bytes(932, u"\u2160"), "\x87\x54");
    EXPECT_EQ(to_bytes(932, u"\u2170"), "\xFA\x40");
    EXPECT_EQ(to_bytes(932, u"\u7E8A"), "\xFA\x5C");
    EXPECT_EQ(to_bytes(932, u"\u30FB"), "\x81\x45");
}

TEST(DoubleByteTables, EveryPairAgreesWithIconvAndRoundTrips) {
    for (UINT cp : {932u, 936u, 949u, 950u}) {
        const char16_t filler = cp == 932 ? u'\u30FB' : u'?';
        iconv_t cd = iconv_for(cp);
        int defined = 0;
        for (unsigned lead = 0x81; lead < 0xFF; ++lead) {
            for (unsigned trail = 0x40; trail < 0xFF; ++trail) {
                const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
                const std::optional<char16_t> expected = iconv_decode(cd, pair);
                if (!expected) {
                    continue;
                }
                ++defined;
                const std::u16string units = to_wide(cp, pair);
                EXPECT_EQ(units, std::u16string(1, *expected)) << cp << " " << lead << " " << trail;
                if (*expected != filler) {
                    // Duplicates may encode to another code, but never to another character.
                    EXPECT_EQ(to_wide(cp, to_bytes(cp, units)), units) << cp << " " << lead;
                }
            }
        }
        iconv_close(cd);
        EXPECT_GT(defined, 7000) << cp;
    }
}

// ---------------------------------------------------------------------------------------------
// Code page 65001 goes through the module's own UTF-8 codec, with Windows' rules for it.

// One U+FFFD per maximal ill-formed subpart, as the converters' decoder gives.
TEST(Utf8CodePage, IllFormedBytesBecomeReplacementCharacters) {
    const std::pair<std::string_view, std::u16string_view> cases[] = {
        {"a\xC0\x80z", u"a\uFFFD\uFFFDz"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xFF\x80z", u"\uFFFD\uFFFDz"},
        {"\xE6\x97z", u"\uFFFDz"},
        {"x\xF0\x9F\x98", u"x\uFFFD"},
        // The fuzzers' finding (fuzz/corpus/*/lead_then_four_bytes): E2 cut short by F2, the
        // first byte of a four-byte sequence, inside a block.
        {"me is \xCF\xB3ste\xE2\xF2\xA8\x8D\x8F"
         "aC\xDC\xBEvt is \xCF\xB3stkning to\xDC\xB8rtist - is - Title",
         u"me is \u03F3ste\uFFFD\U000A834FaC\u073Evt is \u03F3stkning to\u0738rtist - is - Title"},
    };
    for (const auto &[bytes, units] : cases) {
        EXPECT_EQ(to_wide(65001, bytes), units) << testing::PrintToString(bytes);
    }
}

TEST(Utf8CodePage, LoneSurrogatesBecomeReplacementCharacter) {
    EXPECT_EQ(to_bytes(65001, u"\xD83Dx\xDE00"), "\xEF\xBF\xBDx\xEF\xBF\xBD");
    EXPECT_EQ(to_bytes(65001, u"\xDE00\xD83D"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// What lies after the given length is not part of the text, even where it would complete it.
TEST(Utf8CodePage, ExplicitLengthEndsTheText) {
    EXPECT_EQ(to_wide(65001, std::string_view("\xC3\xA9", 1)), u"\uFFFD");
    EXPECT_EQ(to_wide(65001, std::string_view("ab\xF0\x9F\x98\x80", 5)), u"ab\uFFFD");
    EXPECT_EQ(to_bytes(65001, std::u16string_view(u"\xD83D\xDE00", 1)), "\xEF\xBF\xBD");
}

// ---------------------------------------------------------------------------------------------

TEST(DefaultCharRules, MissingCharacterBecomesQuestionMark) {
    EXPECT_EQ(to_bytes(1252, u"a\u4E2Db"), "a?b");
    EXPECT_EQ(to_bytes(932, u"a\u00E9"), "a?");
}

TEST(DefaultCharRules, NoBestFitSubstitutions) {
    EXPECT_EQ(to_bytes(1252, u"\u2080\u0100", WC_NO_BEST_FIT_CHARS), "??");
    EXPECT_EQ(to_bytes(1252, u"\u2080\u0100"), "??");
}

TEST(DefaultCharRules, UnpairedSurrogatesAreJustMissing) {
    EXPECT_EQ(to_bytes(1252, u"\xD83D"
                             u"a\xDE00"),
              "?a?");
    EXPECT_EQ(to_bytes(932, u"\xD83D\xDE00"), "??");
}

// ---------------------------------------------------------------------------------------------

TEST(CompositeCheck, BaseAndMarkBecomeThePrecomposedCharacter) {
    EXPECT_EQ(to_bytes(1252, u"e\u0301", WC_COMPOSITECHECK), "\xE9");
    EXPECT_EQ(to_bytes(1252, u"cafe\u0301!", WC_COMPOSITECHECK), "caf\xE9!");
    EXPECT_EQ(to_bytes(1250, u"z\u030C", WC_COMPOSITECHECK), "\x9E");
    EXPECT_EQ(to_bytes(1251, u"\u0435\u0308", WC_COMPOSITECHECK), "\xB8"); // Cyrillic yo
}

TEST(CompositeCheck, WithoutTheFlagTheMarkIsMissing) {
    EXPECT_EQ(to_bytes(1252, u"e\u0301"), "e?");
}

TEST(CompositeCheck, PairMissingFromTheCodePageStaysSeparate) {
    // g + acute composes to U+01F5, which 1252 lacks.
    EXPECT_EQ(to_bytes(1252, u"g\u0301", WC_COMPOSITECHECK), "g?");
}

TEST(CompositeCheck, OnlyCanonicalPairsCompose) {
    EXPECT_EQ(to_bytes(1252, u"\u0301e", WC_COMPOSITECHECK), "?e");    // mark before base
    EXPECT_EQ(to_bytes(1252, u"e", WC_COMPOSITECHECK), "e");           // nothing follows
    EXPECT_EQ(to_bytes(1252, u"x\u0301", WC_COMPOSITECHECK), "x?");    // no such character
    EXPECT_EQ(to_bytes(1258, u"a\u0301", WC_COMPOSITECHECK), "\xE1");  // 1258 has a-acute
    EXPECT_EQ(to_bytes(1258, u"a\u0303", WC_COMPOSITECHECK), "a\xDE"); // but not a-tilde
    // A mark just past the given length is not part of the text.
    EXPECT_EQ(to_bytes(1252, std::u16string_view(u"\u0301e\u0301", 2), WC_COMPOSITECHECK), "?e");
    EXPECT_EQ(to_bytes(932, std::u16string_view(u"\u304B\u3099", 1), WC_COMPOSITECHECK),
              "\x82\xA9");
}

struct ComposeRow {
    char16_t base;
    char16_t mark;
    char16_t composed;
};

constexpr ComposeRow compose_rows[] = {
#include "compose_table.inc"
};

// The converter binary-searches the generated table.
TEST(CompositeCheck, GeneratedTableIsSortedAndHasNoDuplicates) {
    ASSERT_GT(std::size(compose_rows), 900U);
    for (std::size_t i = 1; i < std::size(compose_rows); ++i) {
        const ComposeRow &a = compose_rows[i - 1];
        const ComposeRow &b = compose_rows[i];
        EXPECT_TRUE(a.base < b.base || (a.base == b.base && a.mark < b.mark)) << i;
    }
}

// ---------------------------------------------------------------------------------------------
// Single-byte code pages copy ASCII text a whole text at a time and look other text up
// character by character; whatever ends an ASCII run must convert as it would on its own.

struct ByteTail {
    const char *rule;
    UINT cp;
    std::string bytes;
    std::u16string units;
};

void PrintTo(const ByteTail &tail, std::ostream *out) {
    *out << tail.rule;
}

class AsciiRunThenByte : public testing::TestWithParam<ByteTail> {};

TEST_P(AsciiRunThenByte, ConvertsLikeEachByteAlone) {
    const ByteTail &tail = GetParam();
    // A length of 0 is refused; an empty tail starts from a run of one.
    for (std::size_t run = tail.bytes.empty() ? 1 : 0; run <= 16; ++run) {
        SCOPED_TRACE(testing::Message() << "run of " << run);
        std::string bytes;
        std::u16string units;
        for (std::size_t i = 0; i < run; ++i) {
            bytes += static_cast<char>('a' + i);
            units += static_cast<char16_t>(u'a' + i);
        }
        EXPECT_EQ(to_wide(tail.cp, bytes + tail.bytes), units + tail.units);
        EXPECT_EQ(to_wide(tail.cp, tail.bytes + bytes), tail.units + units);

        EXPECT_EQ(to_bytes(tail.cp, units + tail.units), bytes + tail.bytes);
        EXPECT_EQ(to_bytes(tail.cp, tail.units + units, WC_COMPOSITECHECK), tail.bytes + bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tails, AsciiRunThenByte,
    testing::Values(ByteTail{"Nothing", 1252, "", u""},
                    ByteTail{"Latin1Letter", 1252, "\xE9", u"\u00E9"},
                    ByteTail{"Euro", 1252, "\x80", u"\u20AC"},
                    ByteTail{"UndefinedByte", 1252, "\x81", u"\u0081"},
                    ByteTail{"LastByte", 1252, "\xFF", u"\u00FF"},
                    ByteTail{"EmbeddedZero", 1252, std::string(1, '\0'), std::u16string(1, u'\0')},
                    ByteTail{"Cyrillic", 1251, "\xC0\xFF", u"\u0410\u044F"},
                    ByteTail{"PrivateUse", 1253, "\xAA", u"\uF8F9"}),
    [](const testing::TestParamInfo<ByteTail> &info) { return std::string(info.param.rule); });

TEST(AsciiRunThenMissingUnit, BecomesDefaultCharacter) {
    for (std::size_t run = 0; run <= 16; ++run) {
        SCOPED_TRACE(testing::Message() << "run of " << run);
        const std::u16string units = std::u16string(run, u'x') + u"\u4E2D";
        EXPECT_EQ(to_bytes(1252, units, WC_COMPOSITECHECK), std::string(run, 'x') + "?");
    }
}

TEST(CompositeCheck, MarkRightAfterAsciiRun) {
    for (std::size_t run = 0; run <= 16; ++run) {
        SCOPED_TRACE(testing::Message() << "run of " << run);
        const std::u16string ascii(run, u'x');
        const std::string bytes(run, 'x');
        EXPECT_EQ(to_bytes(1252, ascii + u"e\u0301", WC_COMPOSITECHECK), bytes + "\xE9");
        std::u16string between = ascii;
        between += u"e\u0301";
        between += ascii;
        std::string expected = bytes;
        expected += '\xE9';
        expected += bytes;
        EXPECT_EQ(to_bytes(1252, between, WC_COMPOSITECHECK), expected);
        // A mark that begins the text has no base: it stays a character of its own.
        EXPECT_EQ(to_bytes(1252, u"\u0301" + ascii, WC_COMPOSITECHECK),
                  "?" + std::string(run, 'x'));
    }
}

// The room a converting call is given need only hold the composed text.
TEST(CompositeCheck, RoomForTheComposedTextIsEnough) {
    char out[2] = {'#', '#'};
    EXPECT_EQ(WideCharToMultiByte(1252, WC_COMPOSITECHECK, u"e\u0301", 2, out, 1, nullptr, nullptr),
              1);
    EXPECT_EQ(out[0], '\xE9');
    EXPECT_EQ(out[1], '#');
}

// A text with its length given takes the single-byte path; the same text up to its terminator
// (length -1) takes the general one, unit by unit. Both must give the same bytes, whatever the
// flags, for text with and without marks.
TEST(CompositeCheck, GivenLengthAgreesWithTerminatedText) {
    const std::u16string texts[] = {
        u"plain ascii text, long enough for several words",
        u"\u041F\u0440\u0438\u0432\u0435\u0442 \u2013 caf\u00E9 \u20AC",
        u"cafe\u0301!",
        u"\u0301e",
        u"e\u0301\u0301",
        u"a\u0308\u0301",
        u"x\u0301 g\u0301",
        u"\u0435\u0308",
        u"\u0627\u0653",
        u"a\u0303 a\u0309",
        u"\u304B\u3099",
        u"e\u036F e\u0370 e\u0652 e\u1B80 e\u309B",
        u"\u05D0\u05B8 \u0E01\u0E31",
    };
    for (UINT cp : single_byte_code_pages) {
        for (const std::u16string &text : texts) {
            for (DWORD flags : {0u, static_cast<DWORD>(WC_COMPOSITECHECK)}) {
                SCOPED_TRACE(testing::Message() << "cp " << cp << " flags " << flags << " "
                                                << testing::PrintToString(text));
                const std::string given = to_bytes(cp, text, flags);
                const int size =
                    WideCharToMultiByte(cp, flags, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
                std::string terminated(static_cast<std::size_t>(size), '#');
                EXPECT_EQ(WideCharToMultiByte(cp, flags, text.c_str(), -1, terminated.data(), size,
                                              nullptr, nullptr),
                          size);
                EXPECT_EQ(given + '\0', terminated);
            }
        }
    }
}

// Every mark of the table must reach the composition from the single-byte path, which passes
// over text without marks by testing ranges rather than the table itself. The general path,
// unit by unit, is the reference; the code pages chosen have most composed characters.
TEST(CompositeCheck, EveryCompositionOfTheTableIsFound) {
    int composed = 0;
    for (UINT cp : {1250u, 1252u, 1256u, 1258u}) {
        for (const ComposeRow &row : compose_rows) {
            const char16_t text[] = {u'a', row.base, row.mark, 0};
            SCOPED_TRACE(testing::Message() << "cp " << cp << " base " << unsigned{row.base}
                                            << " mark " << unsigned{row.mark});
            const DWORD flags = WC_COMPOSITECHECK;
            char given[4] = {};
            char terminated[4] = {};
            const int given_size =
                WideCharToMultiByte(cp, flags, text, 3, given, 4, nullptr, nullptr);
            composed += given_size == 2 ? 1 : 0;
            ASSERT_EQ(WideCharToMultiByte(cp, flags, text, -1, terminated, 4, nullptr, nullptr),
                      given_size + 1);
            EXPECT_EQ(std::string_view(given, static_cast<std::size_t>(given_size)),
                      std::string_view(terminated, static_cast<std::size_t>(given_size)));
        }
    }
    EXPECT_GE(composed, 200) << "too few compositions reached the code pages to check the path";
}

// ---------------------------------------------------------------------------------------------

struct LocaleCase {
    const char *locale;
    UINT code_page;
};

void PrintTo(const LocaleCase &c, std::ostream *out) {
    *out << (c.locale != nullptr ? c.locale : "(null)");
}

class LocaleCodePage : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleCodePage, FollowsLanguageTerritoryAndModifier) {
    EXPECT_EQ(code_page_for_locale(GetParam().locale), GetParam().code_page);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LocaleCodePage,
    testing::Values(
        // A codeset that is one of the layer's code pages decides, whatever the language.
        LocaleCase{"C.UTF-8", 65001}, LocaleCase{"en_US.UTF-8", 65001},
        LocaleCase{"de_DE.utf8", 65001}, LocaleCase{"ru_RU.Utf-8", 65001},
        LocaleCase{"sr_RS.UTF-8@latin", 65001}, LocaleCase{"kk_KZ.UTF-8", 65001},
        LocaleCase{"ru_RU.CP1251", 1251}, LocaleCase{"en_US.cp1251", 1251},
        LocaleCase{"be_BY.CP1251@latin", 1251}, LocaleCase{"ja_JP.CP932", 932},
        LocaleCase{"th_TH.CP874", 874}, LocaleCase{"en_US.CP874", 874},
        LocaleCase{"xx.CP1258", 1258}, LocaleCase{"C.CP1251", 1251},
        // C and POSIX without a codeset, and no locale at all, give UTF-8: glibc's codeset there
        // is ASCII, so no Windows code page is meant. C with another codeset has no language to
        // fall to: the default, which for Latin-1 is right.
        LocaleCase{nullptr, 65001}, LocaleCase{"", 65001}, LocaleCase{"C", 65001},
        LocaleCase{"POSIX", 65001}, LocaleCase{"POSIX@x", 65001}, LocaleCase{"C.", 65001},
        LocaleCase{"C.ISO-8859-1", 1252},
        // Any other codeset, or none, leaves it to the language.
        LocaleCase{"en_US.CP437", 1252}, LocaleCase{"el_GR.CP12530", 1253},
        LocaleCase{"ru_RU.CP1251X", 1251}, LocaleCase{"en_US.ISO-8859-1", 1252},
        LocaleCase{"ru_RU.KOI8-R", 1251}, LocaleCase{"pl_PL.", 1250}, LocaleCase{"en_US", 1252},
        LocaleCase{"de_DE@euro", 1252}, LocaleCase{"xx_YY", 1252}, LocaleCase{"pl_PL", 1250},
        LocaleCase{"cs_CZ", 1250}, LocaleCase{"hu", 1250}, LocaleCase{"ru_RU", 1251},
        LocaleCase{"uk_UA.KOI8-U", 1251}, LocaleCase{"sr_RS", 1251},
        LocaleCase{"sr_RS@latin", 1250}, LocaleCase{"sr_RS.ISO-8859-2@latin", 1250},
        LocaleCase{"uz_UZ", 1254}, LocaleCase{"uz_UZ@cyrillic", 1251}, LocaleCase{"el_GR", 1253},
        LocaleCase{"tr_TR.ISO-8859-9", 1254}, LocaleCase{"he_IL", 1255}, LocaleCase{"ar_EG", 1256},
        LocaleCase{"fa_IR", 1256}, LocaleCase{"lt_LT", 1257}, LocaleCase{"vi_VN", 1258},
        LocaleCase{"th_TH", 874}, LocaleCase{"ja_JP.eucJP", 932}, LocaleCase{"ko_KR.eucKR", 949},
        LocaleCase{"zh_CN.GB18030", 936}, LocaleCase{"zh_SG", 936}, LocaleCase{"zh", 936},
        LocaleCase{"zh_TW.Big5", 950}, LocaleCase{"zh_HK", 950}, LocaleCase{"zh_MO", 950},
        LocaleCase{"zhx_TW", 1252}, LocaleCase{"RU_ru", 1251}, LocaleCase{"hsb_DE", 1252},
        LocaleCase{"dsb_DE", 1252}, LocaleCase{"pa_PK", 1256}, LocaleCase{"pa_IN", 1252},
        LocaleCase{"cmn_TW", 950}, LocaleCase{"nan_TW@latin", 950}, LocaleCase{"hak_TW", 950},
        LocaleCase{"lzh_TW", 950}, LocaleCase{"yue_HK", 950}, LocaleCase{"yi_US", 1255},
        LocaleCase{"ps_AF", 1256}, LocaleCase{"kk_KZ", 1251},
        // Nine letters and digits, more than any codeset the rule names: read to the end, and
        // no further.
        LocaleCase{"de_DE.ISO-8859-15", 1252},
        // With those above, a name without a codeset for every entry of the table.
        LocaleCase{"bs_BA", 1250}, LocaleCase{"hr_HR", 1250}, LocaleCase{"ro_RO", 1250},
        LocaleCase{"sh_BA", 1250}, LocaleCase{"sk_SK", 1250}, LocaleCase{"sl_SI", 1250},
        LocaleCase{"sq_AL", 1250}, LocaleCase{"tk_TM", 1250}, LocaleCase{"bs_BA@cyrillic", 1251},
        LocaleCase{"az_AZ@cyrillic", 1251}, LocaleCase{"ba_RU", 1251}, LocaleCase{"be_BY", 1251},
        LocaleCase{"bg_BG", 1251}, LocaleCase{"ky_KG", 1251}, LocaleCase{"mk_MK", 1251},
        LocaleCase{"mn_MN", 1251}, LocaleCase{"sah_RU", 1251}, LocaleCase{"tg_TJ", 1251},
        LocaleCase{"tt_RU", 1251}, LocaleCase{"uk_UA", 1251}, LocaleCase{"az_AZ", 1254},
        LocaleCase{"tr_TR", 1254}, LocaleCase{"iw_IL", 1255}, LocaleCase{"ckb_IQ", 1256},
        LocaleCase{"sd_PK", 1256}, LocaleCase{"ug_CN", 1256}, LocaleCase{"ur_PK", 1256},
        LocaleCase{"et_EE", 1257}, LocaleCase{"lv_LV", 1257}, LocaleCase{"ja_JP", 932},
        LocaleCase{"ko_KR", 949}, LocaleCase{"zh_TW", 950}));

// The table is searched in order: an entry behind an earlier, wider one would never apply.
TEST(LocaleTable, EveryEntryGivesItsOwnCodePage) {
    ASSERT_FALSE(locale_code_pages().empty());
    for (const LocaleEntry &entry : locale_code_pages()) {
        EXPECT_EQ(code_page_for_locale(entry.locale), entry.code_page) << entry.locale;
    }
}

class LocaleEnvironment : public testing::Test {
  protected:
    void SetUp() override {
        for (const char *name : names) {
            const char *value = std::getenv(name);
            saved.emplace_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < std::size(names); ++i) {
            if (saved[i]) {
                setenv(names[i], saved[i]->c_str(), 1);
            } else {
                unsetenv(names[i]);
            }
        }
    }
    static constexpr const char *names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    std::vector<std::optional<std::string>> saved;
};

// LC_ALL over LC_CTYPE over LANG; an empty value counts as unset.
struct EnvironmentCase {
    const char *lc_all; // nullptr: unset
    const char *lc_ctype;
    const char *lang;
    const char *locale; // the one taken, nullptr: none
    UINT code_page;
};

void PrintTo(const EnvironmentCase &c, std::ostream *out) {
    const auto value = [](const char *v) {
        return v != nullptr ? "\"" + std::string(v) + "\"" : "unset";
    };
    *out << "LC_ALL " << value(c.lc_all) << ", LC_CTYPE " << value(c.lc_ctype) << ", LANG "
         << value(c.lang);
}

class LocaleEnvironmentCases : public LocaleEnvironment,
                               public testing::WithParamInterface<EnvironmentCase> {};

TEST_P(LocaleEnvironmentCases, FirstNonEmptyVariableDecides) {
    const EnvironmentCase &c = GetParam();
    const char *const values[] = {c.lc_all, c.lc_ctype, c.lang};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (values[i] != nullptr) {
            setenv(names[i], values[i], 1);
        }
    }
    const char *const locale = locale_from_environment();
    if (c.locale == nullptr) {
        EXPECT_EQ(locale, nullptr);
    } else {
        EXPECT_STREQ(locale, c.locale);
    }
    EXPECT_EQ(code_page_for_locale(locale), c.code_page);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, LocaleEnvironmentCases,
    testing::Values(EnvironmentCase{nullptr, nullptr, nullptr, nullptr, 65001},
                    EnvironmentCase{nullptr, nullptr, "ja_JP.UTF-8", "ja_JP.UTF-8", 65001},
                    EnvironmentCase{nullptr, "pl_PL", "ja_JP.UTF-8", "pl_PL", 1250},
                    EnvironmentCase{"ru_RU", "pl_PL", "ja_JP.UTF-8", "ru_RU", 1251},
                    EnvironmentCase{"C", "ru_RU", "ru_RU", "C", 65001},
                    // An empty value falls through to the next variable, or to none.
                    EnvironmentCase{"", "", "el_GR", "el_GR", 1253},
                    EnvironmentCase{"", "", "", nullptr, 65001}));

// A variable holding garbage gives the default code page.
TEST_F(LocaleEnvironment, GarbageGivesTheDefault) {
    const std::string garbage[] = {std::string(100000, 'x') + ".CP1251X",
                                   "." + std::string(100000, '8'),
                                   "\xFF\xFE.\x01\x80@\xC3",
                                   "@.@._",
                                   "=;\t\n",
                                   "en_US." + std::string(100000, 'U')};
    for (const std::string &value : garbage) {
        setenv("LC_ALL", value.c_str(), 1);
        EXPECT_EQ(code_page_for_locale(locale_from_environment()), 1252U)
            << testing::PrintToString(value.substr(0, 20));
    }
}

// ---------------------------------------------------------------------------------------------
// The process-wide ANSI code page. Each suite needs a matching locale in the environment at
// process start; CTest runs each with its own LC_ALL, and a suite run in the wrong one fails.

bool environment_selects(UINT cp) {
    return code_page_for_locale(locale_from_environment()) == cp;
}

#define REQUIRE_ANSI_CODE_PAGE(cp)                                                                 \
    if (!environment_selects(cp)) {                                                                \
        FAIL() << "needs a locale for code page " << (cp) << " in LC_ALL";                         \
    }

TEST(AnsiCp1252, WesternTextThroughAcp) {
    REQUIRE_ANSI_CODE_PAGE(1252);
    EXPECT_EQ(GetACP(), 1252U);
    EXPECT_EQ(to_wide(CP_ACP, "\x41\xE9\x80", MB_PRECOMPOSED), u"\u0041\u00E9\u20AC");
    EXPECT_EQ(to_bytes(CP_ACP, u"e\u0301\u20AC", WC_COMPOSITECHECK), "\xE9\x80");
}

TEST(AnsiCp1252, FixedForTheLifeOfTheProcess) {
    REQUIRE_ANSI_CODE_PAGE(1252);
    const UINT before = GetACP();
    const char *old = std::getenv("LC_ALL");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("LC_ALL", "ja_JP.CP932", 1);
    EXPECT_EQ(GetACP(), before);
    EXPECT_EQ(to_wide(CP_ACP, "\x93\xFA"), u"\u201C\u00FA");
    if (saved) {
        setenv("LC_ALL", saved->c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

TEST(AnsiCp1251, CyrillicTextThroughAcp) {
    REQUIRE_ANSI_CODE_PAGE(1251);
    EXPECT_EQ(GetACP(), 1251U);
    EXPECT_EQ(to_wide(CP_ACP, "\xCF\xF0\xE8\xE2\xE5\xF2", MB_PRECOMPOSED),
              u"\u041F\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(to_bytes(CP_ACP, u"\u041C\u0438\u0440 \u00E9", WC_COMPOSITECHECK), "\xCC\xE8\xF0 ?");
}

// The module's calls under 65001: the flags it passes are refused as Windows refuses them, and
// its retry without them converts.
TEST(AnsiCp65001, Utf8TextThroughAcp) {
    REQUIRE_ANSI_CODE_PAGE(65001);
    EXPECT_EQ(GetACP(), 65001U);
    WCHAR wide[4] = {u'#', u'#', u'#', u'#'};
    SetLastError(untouched);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "\xC3\xA9", 2, wide, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    EXPECT_EQ(wide[0], u'#');
    char narrow[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(
        WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, u"e\u0301", 2, narrow, 4, nullptr, nullptr),
        0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    EXPECT_EQ(narrow[0], '#');
    EXPECT_EQ(to_wide(CP_ACP, "\xE6\x9D\xB1 \xF0\x9F\x98\x80"), u"\u6771 \xD83D\xDE00");
    EXPECT_EQ(to_bytes(CP_ACP, u"e\u0301\xD83D\xDE00"), "e\xCC\x81\xF0\x9F\x98\x80");
}

TEST(AnsiCp932, JapaneseTextThroughAcp) {
    REQUIRE_ANSI_CODE_PAGE(932);
    EXPECT_EQ(GetACP(), 932U);
    EXPECT_EQ(to_wide(CP_ACP, "\x93\xFA\x96\x7B", MB_PRECOMPOSED), u"\u65E5\u672C");
    EXPECT_EQ(to_bytes(CP_ACP, u"\u65E5\u672C", WC_COMPOSITECHECK), "\x93\xFA\x96\x7B");
    EXPECT_EQ(to_wide(CP_ACP, "\x93"), u"\u30FB");
}

} // namespace
