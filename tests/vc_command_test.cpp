// SPDX-License-Identifier: GPL-2.0-or-later
// /vc against the in-process doubles of the host and the client library.
#include <gtest/gtest.h>

#include "rule_names.h"

#include <climits>
#include <string>

#include "expected_messages.h"
#include "fake_host.h"
#include "fault_injection.h"
#include "plugin.h"

namespace {

using Log = std::vector<std::string>;

class VcCommand : public testing::Test {
  protected:
    void SetUp() override {
        plugin_handle = reset_fakes();
        reset_allocations();
    }
    void TearDown() override {
        EXPECT_EQ(live_allocations(), 0u) << "a converted command was not released";
        EXPECT_EQ(stray_releases(), 0);
        EXPECT_EQ(fake_host.unexpected_calls, 0);
    }
};

struct JoinCase {
    const char *rule;
    std::vector<std::string> args;
    std::string sent;
};

// Names the case by its rule; gtest would otherwise print its raw bytes,
// unset ones inside the strings included.
void PrintTo(const JoinCase &c, std::ostream *out) {
    *out << c.rule;
}

class VcJoin : public VcCommand, public testing::WithParamInterface<JoinCase> {};

TEST_P(VcJoin, SendsTheWordsJoinedBySingleSpaces) {
    EXPECT_EQ(run_command(vc_command, GetParam().args), XCHAT_EAT_ALL);
    EXPECT_EQ(fake_service.exec_commands, (Log{GetParam().sent}));
    EXPECT_TRUE(fake_host.printed.empty());
}

const JoinCase join_cases[] = {
    {"no arguments send the empty command", {}, ""},
    {"one word", {"play"}, "play"},
    {"three words", {"a", "b", "c"}, "a b c"},
    {"the join stops at the first empty word", {"a", "", "c"}, "a"},
    {"non ascii in the code page", {"Caf\xC3\xA9", "\xE2\x82\xAC"}, "Caf\xE9 \x80"},
};

INSTANTIATE_TEST_SUITE_P(Rules, VcJoin, testing::ValuesIn(join_cases), RuleName());

// Any result but 0 is a refusal, negative ones included.
TEST_F(VcCommand, RefusedCommandPrintsTheMessageOnce) {
    for (const int result : {5, -1, INT_MIN}) {
        plugin_handle = reset_fakes();
        fake_service.exec_result = result;
        EXPECT_EQ(run_command(vc_command, {"stop"}), XCHAT_EAT_ALL);
        EXPECT_EQ(call_log, (Log{"vc_exec stop", std::string("print ") + vc_failure_message}))
            << "vc_exec gave " << result;
    }
}

TEST_F(VcCommand, ReadsWordsButNeverWordEol) {
    std::vector<std::string> words = {"", "vc", "a", "b"};
    words.resize(XCHAT_WORD_COUNT);
    char *word[XCHAT_WORD_COUNT];
    char *word_eol[XCHAT_WORD_COUNT];
    char trap[] = "word_eol was read";
    for (int i = 0; i < XCHAT_WORD_COUNT; ++i) {
        word[i] = words[static_cast<std::size_t>(i)].data();
        word_eol[i] = trap;
    }
    vc_command(word, word_eol, nullptr);
    EXPECT_EQ(fake_service.exec_commands, (Log{"a b"}));
}

// A full list: every entry a word, none empty. Whatever lies after the list
// must not be read.
TEST_F(VcCommand, JoinStopsAtTheEndOfAFullWordList) {
    struct {
        char *word[XCHAT_WORD_COUNT];
        char *after[2];
    } list;
    std::vector<std::string> words;
    for (int i = 0; i < XCHAT_WORD_COUNT; ++i)
        words.push_back("w" + std::to_string(i));
    std::string expected;
    for (int i = 0; i < XCHAT_WORD_COUNT; ++i) {
        list.word[i] = words[static_cast<std::size_t>(i)].data();
        if (i >= 2)
            expected += (expected.empty() ? "" : " ") + words[static_cast<std::size_t>(i)];
    }
    char past[] = "past-the-end";
    list.after[0] = list.after[1] = past;
    vc_command(list.word, list.word, nullptr);
    EXPECT_EQ(fake_service.exec_commands, (Log{expected}));
}

TEST_F(VcCommand, JoinStopsAtANullEntry) {
    std::vector<std::string> words = {"", "vc", "a", "b"};
    char *word[XCHAT_WORD_COUNT] = {words[0].data(), words[1].data(), words[2].data(), nullptr,
                                    words[3].data()};
    vc_command(word, word, nullptr);
    EXPECT_EQ(fake_service.exec_commands, (Log{"a"}));
}

} // namespace
