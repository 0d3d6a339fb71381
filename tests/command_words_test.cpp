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
        SplitCase{
            "runs of spaces separate", "vc  a   b", {"vc", "a", "b"}, {"vc  a   b", "a   b", "b"}},
        SplitCase{"quotes keep spaces",
                  "vc \"a b\" c",
                  {"vc", "\"a b\"", "c"},
                  {"vc \"a b\" c", "\"a b\" c", "c"}},
        SplitCase{"bytes pass unchanged", "vc Caf\xC3\xA9", {"vc", "Caf\xC3\xA9"}, {}}),
    RuleName());

TEST(SplitCommandLimits, WordsAfterTheThirtyFirstAreDropped) {
    std::string line = "vc";
    for (int i = 0; i < 40; ++i)
        line += " w" + std::to_string(i);
    CommandWords words;
    split_command(line, words);
    EXPECT_STREQ(words.word[2], "w0");
    EXPECT_STREQ(words.word[31], "w29");
}

} // namespace
