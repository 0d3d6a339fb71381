// SPDX-License-Identifier: GPL-2.0-or-later
// Splitting a typed command line into the word lists a command callback gets.
#pragma once

#include <string>
#include <vector>

#include "xchat_plugin.h"

// word[1] is the command name, word[2] on its arguments; word_eol[i] is the
// rest of the line from where word i starts. Index 0 and unused entries are
// empty strings.
struct CommandWords {
    std::string line;
    std::vector<char> text;
    char *word[XCHAT_WORD_COUNT];
    char *word_eol[XCHAT_WORD_COUNT];
};

// Splits `line` (without its leading '/') as HexChat's command parser does
// for a command that a plug-in registered (what the real HexChat passes on is
// checked by tests/real_client/hexchat_session.py):
// - a space outside double quotes ends a word, and the first space of a run
//   starts the next word: its word_eol begins after that first space, so with
//   the run's other spaces;
// - a double quote opens or closes a quoted part, whose spaces stay in the
//   word, and is dropped (`"a  b" c` gives `a  b` and `c`, `a"b c"d` gives
//   `ab cd`); two in a row are one literal quote (`""` gives `"`), inside a
//   quoted part too; a quote left open groups the rest of the line;
// - the lead byte of a UTF-8 sequence takes the bytes of its sequence's length
//   with it, whatever they are (cut at the end of the line);
// - the list holds 31 words: after the 31st, words are dropped.
void split_command(const std::string &line, CommandWords &words);
