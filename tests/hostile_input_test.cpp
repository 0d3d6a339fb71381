// SPDX-License-Identifier: GPL-2.0-or-later
// Input that breaks plug-ins of this kind, one row each, with what the
// module must do about it. /np rows give the bytes a successful vc_eval
// writes into the module's buffer (raw: no terminator is added); /vc rows
// give the words after the command name. The first table runs in code page
// 1252, the second in 65001 (UTF-8).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codepage.h"
#include "expected_messages.h"
#include "fake_host.h"
#include "fault_injection.h"
#include "plugin.h"
#include "rule_names.h"
#include "vc.h"

namespace {

using namespace std::string_literals;
using Log = std::vector<std::string>;
using Words = std::vector<std::string>;

enum class Command { np, vc };

struct HostileInput {
    const char *rule;
    Command command;
    std::string service_text; // /np
    Words words;              // /vc
    Log executed;             // by the host, /np
    Log sent;                 // to the service, /vc
    Log window;               // messages
};

void PrintTo(const HostileInput &row, std::ostream *out) {
    *out << row.rule;
}

std::string terminated(const std::string &text) {
    return text + '\0';
}

std::string repeated(std::size_t count, const std::string &piece) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

// `count` words of letters whose join, single spaces between, is `joined`
// bytes long.
Words words_joining_to(std::size_t joined, std::size_t count) {
    const std::size_t letters = joined - (count - 1);
    Words words;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = letters / count + (i < letters % count ? 1 : 0);
        words.emplace_back(length, static_cast<char>('a' + i % 26));
    }
    return words;
}

std::string joined(const Words &words) {
    std::string text;
    for (const std::string &word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

// A join that must reach the service whole.
HostileInput join_sent(const char *rule, const Words &words) {
    return {rule, Command::vc, "", words, {}, {joined(words)}, {}};
}

// A join that must be refused.
HostileInput join_refused(const char *rule, const Words &words) {
    return {rule, Command::vc, "", words, {}, {}, {vc_too_long_message}};
}

// /vc with one word, in code page 1252: U+FFFD, which 1252 lacks, arrives
// as its default character.
HostileInput utf8_sent(const char *rule, const std::string &word, const std::string &sent) {
    return {rule, Command::vc, "", {word}, {}, {sent}, {}};
}

const HostileInput rows[] = {
    // Song text comes from file tags: a line break would let a tag send raw
    // lines to the server, and a zero byte ends the text.
    {"song text with CR",
     Command::np,
     terminated("me a\rPRIVMSG #x :b"),
     {},
     {"me a PRIVMSG #x :b"},
     {},
     {}},
    {"song text with LF", Command::np, terminated("me a\nQUIT"), {}, {"me a QUIT"}, {}, {}},
    {"song text with CRLF",
     Command::np,
     terminated("me a\r\nQUIT\r\n"),
     {},
     {"me a  QUIT  "},
     {},
     {}},
    {"song text with a zero byte in the middle",
     Command::np,
     terminated("me a\0\r\nQUIT"s),
     {},
     {"me a"},
     {},
     {}},

    // The host's command call formats its arguments: the text must only
    // ever be an argument of "%s" (the fake host counts any other format).
    {"format directives in the preset",
     Command::np,
     terminated("me %n%s %% %d%"),
     {},
     {"me %n%s %% %d%"},
     {},
     {}},
    {"format directives in /vc words",
     Command::vc,
     "",
     {"%n", "%s", "%%", "%d%"},
     {},
     {"%n %s %% %d%"},
     {}},

    // The join buffer holds 2046 bytes of text.
    join_sent("2045 bytes in one word", Words{std::string(2045, 'a')}),
    join_sent("2046 bytes in one word", Words{std::string(2046, 'a')}),
    join_refused("2047 bytes in one word", Words{std::string(2047, 'a')}),
    join_refused("2048 bytes in one word", Words{std::string(2048, 'a')}),
    join_sent("2045 bytes in 30 words", words_joining_to(2045, 30)),
    join_sent("2046 bytes in 30 words", words_joining_to(2046, 30)),
    join_refused("2047 bytes in 30 words", words_joining_to(2047, 30)),
    join_refused("2048 bytes in 30 words", words_joining_to(2048, 30)),
    join_refused("a word of 100000 bytes", Words{std::string(100000, 'a')}),
    // Every entry of the host's 32 holds a word: nothing marks the end.
    join_sent("32 words of 64 bytes", Words(30, std::string(64, 'w'))),

    // The buffer's limit is in code-page bytes; UTF-8 may need three times
    // as many, and the converter measures before it allocates.
    {"a preset of 2047 bytes that triples in size as UTF-8",
     Command::np,
     terminated("me " + std::string(2044, '\x80')),
     {},
     {"me " + repeated(2044, "\xE2\x82\xAC")},
     {},
     {}},

    // Every kind of ill-formed UTF-8: one replacement per maximal
    // ill-formed subpart, and what follows is kept.
    utf8_sent("stray continuation bytes",
              "a\x80\xBF"
              "b",
              "a??b"),
    utf8_sent("lead byte without its continuation",
              "\xC3"
              "A\xE2\x82"
              "B",
              "?A?B"),
    utf8_sent("two-byte sequence cut short by the terminator", "x\xC3", "x?"),
    utf8_sent("three-byte sequence cut short by the terminator", "x\xE2\x82", "x?"),
    utf8_sent("four-byte sequence cut short by the terminator", "x\xF0\x9F\x98", "x?"),
    utf8_sent("overlong two-byte forms", "\xC0\x80\xC1\xBF", "????"),
    utf8_sent("overlong three-byte form", "\xE0\x80\xAF", "???"),
    utf8_sent("overlong four-byte form", "\xF0\x80\x80\xAF", "????"),
    utf8_sent("encoded surrogates", "\xED\xA0\x80\xED\xBF\xBF", "??????"),
    utf8_sent("values above U+10FFFF", "\xF4\x90\x80\x80\xF7\xBF\xBF\xBF", "????????"),
    utf8_sent("bytes that never occur", "\xF8\x88\x80\x80\x80\xFE\xFF", "???????"),
    utf8_sent("a four-byte sequence does not swallow what follows", "\xF0\x9F\x98\x80x", "??x"),

    // A library that reports success but leaves no line behind.
    {"service succeeds with an empty buffer",
     Command::np,
     terminated(""),
     {},
     {},
     {},
     {np_failure_message}},
    {"service succeeds with the buffer full to the last byte",
     Command::np,
     "me " + std::string(2045, 'x'),
     {},
     {"me " + std::string(2044, 'x')},
     {},
     {}},
    {"service succeeds with garbage after the terminator",
     Command::np,
     terminated("me song") + "\xFF\xFE\r\nQUIT\x80",
     {},
     {"me song"},
     {},
     {}},
};

// UTF-8 as the service sends it where the ANSI code page is 65001: the module
// reads it with the platform's decoder, which is the module's own.
std::string fffd(std::size_t count) {
    return repeated(count, "\xEF\xBF\xBD");
}

const HostileInput utf8_rows[] = {
    {"every character survives both ways",
     Command::np,
     terminated("me is playing \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80 Caf\xC3\xA9"),
     {},
     {"me is playing \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80 Caf\xC3\xA9"},
     {},
     {}},
    {"ill-formed song text becomes U+FFFD",
     Command::np,
     terminated("me a\xC0\x80 \xED\xA0\x80 \xFF b"),
     {},
     {"me a" + fffd(2) + " " + fffd(3) + " " + fffd(1) + " b"},
     {},
     {}},
    // Overlong forms of CR and LF are not line breaks.
    {"overlong line breaks in song text",
     Command::np,
     terminated("me a\xC0\x8A\xE0\x80\x8D\xC0\x8D" + "b"s),
     {},
     {"me a" + fffd(7) + "b"},
     {},
     {}},
    // The byte that would complete the sequence lies past the terminator.
    {"song text cut short by the terminator",
     Command::np,
     terminated("me x\xE6\x97") + "\xA5\n",
     {},
     {"me x" + fffd(1)},
     {},
     {}},
    {"ill-formed /vc words reach the service with U+FFFD",
     Command::vc,
     "",
     {"a\xC0\x80" + "b"s, "\xE6\x97", "\xF4\x90\x80\x80"},
     {},
     {"a" + fffd(2) + "b " + fffd(1) + " " + fffd(4)},
     {}},
};

class HostileInputs : public testing::TestWithParam<HostileInput> {
  protected:
    virtual UINT code_page() const {
        return 1252;
    }
    void SetUp() override {
        ASSERT_EQ(GetACP(), code_page()) << "run with LC_ALL=en_US.CP1252, or C.UTF-8 for 65001";
        plugin_handle = reset_fakes();
        reset_allocations();
    }
    void check_row(const HostileInput &row);
};

class Cp65001HostileInputs : public HostileInputs {
  protected:
    UINT code_page() const override {
        return 65001;
    }
};

TEST_P(HostileInputs, AreHandledAsTheTableSays) {
    check_row(GetParam());
}

TEST_P(Cp65001HostileInputs, AreHandledAsTheTableSays) {
    check_row(GetParam());
}

void HostileInputs::check_row(const HostileInput &row) {
    ASSERT_LE(row.service_text.size(), std::size_t{VC_RESULT_SIZE});
    fake_service.eval_bytes = row.service_text;
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_command(row.command == Command::np ? np_command : vc_command, row.words),
              XCHAT_EAT_ALL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fake_host.executed, row.executed);
    EXPECT_EQ(fake_service.exec_commands, row.sent);
    EXPECT_EQ(fake_host.printed, row.window);
    EXPECT_EQ(fake_host.unexpected_calls, 0);
    EXPECT_EQ(live_allocations(), 0u);
    EXPECT_EQ(stray_releases(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileInputs, testing::ValuesIn(rows), RuleName());
INSTANTIATE_TEST_SUITE_P(Rows, Cp65001HostileInputs, testing::ValuesIn(utf8_rows), RuleName());

} // namespace
