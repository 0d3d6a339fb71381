// SPDX-License-Identifier: GPL-2.0-or-later
// The template renderer shared by the stand-in and the MPRIS library, and the
// way its result reaches the module's buffer.
#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>
#include <string>

#include "render.h"
#include "vc.h"

namespace {

TEST(Render, FollowsTheTemplateRules) {
    // Every C0 control, NUL too, and DEL; then the space and '~' around DEL, which stay.
    std::string controls;
    for (char c = 0; c < 0x20; ++c)
        controls += c;
    controls += "\x7F ~";
    const std::string spaced = std::string(34, ' ') + "~";
    const TemplateField fields[] = {{"artist", "A"},
                                    {"title", "T"},
                                    {"album", ""},
                                    {"tag", "%title%[%album%]"},
                                    {"broken", "a\r\nb\tc"},
                                    {"wide", "éééééé"},
                                    {"missing", "", true},
                                    {"controls", controls},
                                    {"digits", "2 Unlimited"},
                                    {"comma", ",05 x"},
                                    {"styled", "\x02"
                                               "b\x03"
                                               "04c\x0f"},
                                    {"separators", "a\u0085b\u2028c\u2029d"},
                                    {"bidi", "\u202Ex\u2066y\u2069\u202A"},
                                    {"hebrew", "שלום"}};
    // The 64th section holds the empty field; the nine brackets past it are dropped.
    const std::string deep = std::string(63, '[') + "%title%" + std::string(10, '[') + "%album%";
    const struct {
        const char *rule;
        const char *text;
        std::size_t limit;
        const char *expected;
    } cases[] = {
        {"fields are replaced", "%artist% - %title%", 100, "A - T"},
        {"%% is a percent sign", "100%% %title%", 100, "100% T"},
        {"%[ and %] are brackets", "%[%title%%]", 100, "[T]"},
        {"a section with its fields set is kept", "[%artist% - ]%title%", 100, "A - T"},
        {"a section with an empty field is left out", "[%album% - ]%title%", 100, "T"},
        {"only the inner section is left out", "[%artist%[ (%album%)]: ]%title%", 100, "A: T"},
        {"a section without fields is kept", "[x]%title%", 100, "xT"},
        {"an unknown field stays as typed", "[%year% ]%title%", 100, "%year% T"},
        {"a percent sign without a field is kept", "50% off %title%%", 100, "50% off T%"},
        {"an unclosed section runs to the end", "%title%[ - %album%", 100, "T"},
        {"a lone ] is kept", "%title%]", 100, "T]"},
        {"a value is never rendered again", "%tag%", 100, "%title%[%album%]"},
        {"control characters become spaces", "x\ny%broken%", 100, "x ya  b c"},
        {"every control character and DEL become spaces", "%controls%", 100, spaced.c_str()},
        {"a section with one of two fields empty is left out",
         "[%album%%artist%][%artist%%album%]%title%", 100, "T"},
        {"the limit cuts at a character boundary", "%wide%", 5, "éé"},
        {"sections nest 64 deep", deep.c_str(), 100, "T"},
        {"a required field shown empty: nothing", "%title%[ (%missing%)]", 100, ""},
        {"escapes are formatting codes", "%Bb%O %C04%title%%O %Ii%U%R", 100,
         "\x02"
         "b\x0f \x03"
         "04T\x0f \x1di\x1f\x16"},
        {"%% before a letter is text", "%%B %%C", 100, "%B %C"},
        {"upper-case names are no fields", "%Bob% %X%", 100, "\x02ob% %X%"},
        {"a % before another capital stays as typed", "%Xy%title%", 100, "%XyT"},
        {"raw formatting bytes in the template stay",
         "\x02x\x03"
         "4y\x1d\x1f\x16\x0f",
         100,
         "\x02x\x03"
         "4y\x1d\x1f\x16\x0f"},
        {"other controls in the template become spaces",
         "a\x01"
         "b\x7f"
         "c\x1b"
         "d",
         100, "a b c d"},
        {"a value cannot style the line", "%styled%", 100, " b 04c "},
        {"a value's digit cannot extend a colour", "%C4%digits%", 100,
         "\x03"
         "4\x02\x02"
         "2 Unlimited"},
        {"a value's comma cannot add a background", "%C04%comma%", 100,
         "\x03"
         "04\x02\x02,05 x"},
        {"nor through a section", "%C4[%digits%]", 100,
         "\x03"
         "4\x02\x02"
         "2 Unlimited"},
        {"a value apart from a colour is as it is", "%C04 %digits%", 100,
         "\x03"
         "04 2 Unlimited"},
        {"C1 controls and separators in a value become spaces", "%separators%", 100, "a b c d"},
        {"direction overrides and isolates in a value become spaces", "%bidi%", 100, " x y  "},
        {"right-to-left text is untouched", "%hebrew%", 100, "שלום"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(render_template(c.text, fields, c.limit).text, c.expected) << c.rule;
}

// The client runs the line's first word as a command: whether a value's byte
// is in it.
TEST(Render, TellsWhetherAValueIsInTheCommandWord) {
    const TemplateField fields[] = {{"title", "quit bye"}, {"album", ""}, {"one", "q"}};
    const struct {
        const char *text;
        bool from_value;
    } cases[] = {
        {"me is listening to %title%", false},
        {"%title%", true},
        {"  %title% x", true},
        {"m%title%", true},
        {"me%B %title%", false},
        {"[%album%]me %title%", false},
        {"%%title%% x", false},
        {"[%title%] me", true},
        {"m[e %title%]", false},
        {"%one% x", true},
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(command_from_value(render_template(c.text, fields, 100)), c.from_value) << c.text;
}

TEST(Render, WritesTimesAsMinutesOrHours) {
    const struct {
        std::int64_t microseconds;
        const char *expected;
    } cases[] = {{-1, ""},
                 {0, "0:00"},
                 {59999999, "0:59"},
                 {61000000, "1:01"},
                 {3599000000, "59:59"},
                 {3600000000, "1:00:00"},
                 {3723000000, "1:02:03"},
                 {36000000000, "10:00:00"},
                 {3599999999999, "999:59:59"},
                 {3600000000000, ""},
                 {INT64_MAX, ""}};
    for (const auto &c : cases)
        EXPECT_EQ(duration_text(c.microseconds), c.expected) << c.microseconds;
}

// The result fills the buffer to the last whole character of the code page.
std::string written(std::string utf8) {
    char result[VC_RESULT_SIZE];
    std::memset(result, 'x', sizeof result);
    EXPECT_EQ(write_local_result(utf8, result), 0);
    return std::string(result, strnlen(result, sizeof result));
}

TEST(RenderCp65001, ALongLineIsCutAtACharacterBoundary) {
    std::string expected;
    for (int i = 0; i < 1023; ++i)
        expected += "é";
    EXPECT_EQ(written(expected + "éé"), expected);
    EXPECT_EQ(written("ab"), "ab");
    // One byte more than the buffer holds with its terminator, and none more.
    EXPECT_EQ(written(std::string(VC_RESULT_SIZE, 'a')), std::string(VC_RESULT_SIZE - 1, 'a'));
    EXPECT_EQ(written(std::string(VC_RESULT_SIZE - 1, 'a')), std::string(VC_RESULT_SIZE - 1, 'a'));
}

// In code page 932 the second byte of 'ー' (81 5B) is '['.
TEST(RenderCp932, ALongLineIsCutAtACharacterBoundary) {
    std::string utf8, expected;
    for (int i = 0; i < 1500; ++i)
        utf8 += "ー";
    for (int i = 0; i < 1023; ++i)
        expected += "\x81\x5B";
    EXPECT_EQ(written(utf8), expected);
}

// ASCII before the wide characters: each cut in proportion is still too long,
// and every conversion tried on the way is released.
TEST(RenderCp932, ALineCutSeveralTimesLeaksNothing) {
    std::string utf8(2000, 'a'), expected(2000, 'a');
    for (int i = 0; i < 1000; ++i)
        utf8 += "ー";
    for (int i = 0; i < 23; ++i)
        expected += "\x81\x5B";
    EXPECT_EQ(written(utf8), expected); // the code page's first use may keep what it loads
    char result[VC_RESULT_SIZE];
    const std::size_t in_use = mallinfo2().uordblks;
    ASSERT_EQ(write_local_result(utf8, result), 0);
    EXPECT_EQ(mallinfo2().uordblks, in_use) << "a conversion was not released";
    EXPECT_EQ(result, expected);
}

} // namespace
