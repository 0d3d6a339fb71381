// SPDX-License-Identifier: GPL-2.0-or-later
// The console host's splitting of typed command lines into word lists.
#include <gtest/gtest.h>

#include "rule_names.h"

#include <string>
#include <vector>

#include "command_words.h"

namespace {

struct SplitCase {
    const char *rule;
    std::string line;
    std::vector<std::string> words; // from index 1 on
    std::vector<std::string> eols;  // from index 1 on
};

// Names the case by its rule; gtest would otherwise print its raw bytes,
// unset ones inside the strings included.
void PrintTo(const SplitCase &c, std::ostream *out) {
    *out << c.rule;
}

class SplitCommand : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommand, FillsWordAndWordEol) {
    const SplitCase &c = GetParam();
    CommandWords words;
    split_command(c.line, words);
    EXPECT_STREQ(words.word[0], "");
    EXPECT_STREQ(words.word_eol[0], "");
    for (int i = 1; i < XCHAT_WORD_COUNT; ++i) {
        const std::size_t at = static_cast<std::size_t>(i - 1);
        SCOPED_TRACE(i);
        ASSERT_NE(words.word[i], nullptr);
        EXPECT_EQ(words.word[i], at < c.words.size() ? c.words[at] : "");
        if (at < c.eols.size()) {
            EXPECT_EQ(words.word_eol[i], c.eols[at]);
        } else if (at >= c.words.size()) {
            EXPECT_STREQ(words.word_eol[i], "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitCommand,
    testing::Values(
        SplitCase{"empty line", "", {}, {}}, SplitCase{"name only", "np", {"np"}, {"np"}},
        // A word's word_eol starts after the first space of the run before it.
        SplitCase{"runs of spaces separate",
                  "vc  a   b",
                  {"vc", "a", "b"},
                  {"vc  a   b", " a   b", "  b"}},
        SplitCase{"a trailing space starts an empty word",
                  "vc a  ",
                  {"vc", "a", ""},
                  {"vc a  ", "a  ", " "}},
        SplitCase{"a quoted part is one word without its quotes",
                  "vc \"a  b\" c",
                  {"vc", "a  b", "c"},
                  {"vc \"a  b\" c", "\"a  b\" c", "c"}},
        SplitCase{"quotes inside a word group its parts", "vc a\"b  c\"d", {"vc", "ab  cd"}, {}},
        SplitCase{"two quotes are one quote", "vc \"\" x", {"vc", "\"", "x"}, {}},
        SplitCase{"two quotes in a quoted part are one quote",
                  "vc \"a \"\"b\"\" c\"",
                  {"vc", "a \"b\" c"},
                  {}},
        SplitCase{"an unclosed quote groups the rest of the line",
                  "vc \"a  b",
                  {"vc", "a  b"},
                  {"vc \"a  b", "\"a  b"}},
        SplitCase{"bytes pass unchanged", "vc Caf\xC3\xA9", {"vc", "Caf\xC3\xA9"}, {}},
        SplitCase{"a lead byte takes its sequence's length", "vc \xC3 x", {"vc", "\xC3 x"}, {}},
        SplitCase{
            "a lead byte takes a quote with it", "vc \xC3\"a b\"", {"vc", "\xC3\"a", "b"}, {}},
        SplitCase{"a sequence cut by the end of the line", "vc \xE2\x82", {"vc", "\xE2\x82"}, {}}),
    RuleName());

TEST(SplitCommandLimits, WordsAfterTheThirtyFirstAreDropped) {
    std::string line = "vc";
    for (int i = 0; i < 40; ++i)
        line += " w" + std::to_string(i);
    CommandWords words;
    split_command(line, words);
    EXPECT_STREQ(words.word[2], "w0");
    EXPECT_STREQ(words.word[31], "w29");
    // word_eol keeps the whole rest of the line.
    EXPECT_STREQ(words.word_eol[31], line.substr(line.find(" w29") + 1).c_str());
}

} // namespace
