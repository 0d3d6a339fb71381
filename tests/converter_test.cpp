// SPDX-License-Identifier: GPL-2.0-or-later
// The two converters end to end, through the system's code-page services.
// Suites named after a code page run in a process whose ANSI code page is
// that one (the test registration sets the locale environment).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "codepage.h"
#include "encoding.h"
#include "fault_injection.h"

namespace {

struct Converted {
    int result;
    std::string text;
};

Converted to_utf8(const std::string &local) {
    char *out = nullptr;
    const int result = local_to_utf8(local.c_str(), &out);
    Converted converted{result, result == 0 ? out : ""};
    if (result == 0)
        std::free(out);
    return converted;
}

Converted to_local(const std::string &utf8) {
    char *out = nullptr;
    const int result = utf8_to_local(utf8.c_str(), &out);
    Converted converted{result, result == 0 ? out : ""};
    if (result == 0)
        std::free(out);
    return converted;
}

void expect_converted(const Converted &converted, const std::string &text) {
    EXPECT_EQ(converted.result, 0);
    EXPECT_EQ(converted.text, text);
}

class Cp1252 : public testing::Test {
  protected:
    void SetUp() override {
        reset_allocations();
        ASSERT_EQ(GetACP(), 1252u) << "run with LC_ALL=en_US.CP1252";
    }
};

TEST_F(Cp1252, LocalToUtf8KeepsAscii) {
    expect_converted(to_utf8("abc"), "abc");
}

TEST_F(Cp1252, LocalToUtf8TurnsWesternBytesIntoUtf8) {
    expect_converted(to_utf8("A\xE9\x80"), "A\xC3\xA9\xE2\x82\xAC");
}

TEST_F(Cp1252, LocalToUtf8RefusesEmptyText) {
    char sentinel = 0;
    char *out = &sentinel;
    EXPECT_EQ(local_to_utf8("", &out), -1);
    EXPECT_EQ(out, &sentinel);
}

TEST_F(Cp1252, Utf8ToLocalKeepsAsciiAndEmptyText) {
    expect_converted(to_local("play"), "play");
    expect_converted(to_local(""), "");
}

TEST_F(Cp1252, Utf8ToLocalTurnsWesternTextIntoBytes) {
    expect_converted(to_local("A\xC3\xA9\xE2\x82\xAC"), "A\xE9\x80");
}

TEST_F(Cp1252, Utf8ToLocalComposesBaseAndMark) {
    expect_converted(to_local("Cafe\xCC\x81"), "Caf\xE9");
}

TEST_F(Cp1252, Utf8ToLocalGivesDefaultCharacterForWhatTheCodePageLacks) {
    expect_converted(to_local("\xE4\xB8\xAD!"), "?!");
}

TEST_F(Cp1252, Utf8ToLocalReplacesIllFormedPartsAndKeepsWhatFollows) {
    expect_converted(to_local("a\xC0\x80"
                              "b"),
                     "a??b");
    // Each unit of a pair the code page lacks gets its own default character.
    expect_converted(to_local("\xF0\x9F\x98\x80x"), "??x");
}

class ConverterFaults : public Cp1252 {};

TEST_F(ConverterFaults, LocalToUtf8AllocatesTwiceAndReleasesOne) {
    char *out = nullptr;
    ASSERT_EQ(local_to_utf8("Caf\xE9", &out), 0);
    EXPECT_EQ(allocation_count(), 2);
    EXPECT_EQ(live_allocations(), 1u);
    EXPECT_STREQ(out, "Caf\xC3\xA9");
    std::free(out);
}

TEST_F(ConverterFaults, Utf8ToLocalAllocatesTwiceAndReleasesOne) {
    char *out = nullptr;
    ASSERT_EQ(utf8_to_local("Caf\xC3\xA9", &out), 0);
    EXPECT_EQ(allocation_count(), 2);
    EXPECT_EQ(live_allocations(), 1u);
    EXPECT_STREQ(out, "Caf\xE9");
    std::free(out);
}

TEST(Cp1251, ConvertsCyrillicBothWays) {
    ASSERT_EQ(GetACP(), 1251u) << "run with LC_ALL=ru_RU.CP1251";
    const std::string local = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    expect_converted(to_utf8(local), utf8);
    expect_converted(to_local(utf8), local);
    // A character with no near equivalent in the code page: Windows gives
    // "e" for U+00E9 here, one of its best-fit substitutions.
    expect_converted(to_local("\xE4\xB8\xAD"), "?");
}

TEST(Cp932, ConvertsJapaneseBothWays) {
    ASSERT_EQ(GetACP(), 932u) << "run with LC_ALL=ja_JP.CP932";
    const std::string local = "\x93\xFA\x96\x7B"
                              "abc";
    const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC"
                             "abc";
    expect_converted(to_utf8(local), utf8);
    expect_converted(to_local(utf8), local);
}

// Where the ANSI code page is UTF-8, the platform refuses MB_PRECOMPOSED and
// WC_COMPOSITECHECK; the converters retry without them, and every character
// survives both ways. Ill-formed text becomes U+FFFD either way.
TEST(Cp65001, ConvertsEveryCharacterBothWays) {
    ASSERT_EQ(GetACP(), 65001u) << "run with LC_ALL=C.UTF-8";
    const std::string text = "me is playing \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80 Caf\xC3\xA9";
    expect_converted(to_utf8(text), text);
    expect_converted(to_local(text), text);
    const std::string ill_formed = "a\xC0\x8A\xED\xA0\x80z\xE6\x97";
    std::string replaced = "a";
    for (int i = 0; i < 5; ++i)
        replaced += "\xEF\xBF\xBD";
    replaced += "z\xEF\xBF\xBD";
    expect_converted(to_utf8(ill_formed), replaced);
    expect_converted(to_local(ill_formed), replaced);
}

} // namespace
