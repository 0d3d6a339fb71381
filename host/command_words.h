// Splitting a typed command line into the word lists a command callback gets.
#pragma once

#include <string>
#include <vector>

#include "xchat_plugin.h"

// word[1] is the command name, word[2] on its arguments; word_eol[i] is the
// rest of the line from word i. Index 0 and unused entries are empty strings.
struct CommandWords {
    std::string line;
    std::vector<char> text;
    char *word[XCHAT_WORD_COUNT];
    char *word_eol[XCHAT_WORD_COUNT];
};

// Splits `line` (without its leading '/') the way the chat client does: runs
// of spaces separate words, a double-quoted part keeps its spaces (quotes
// included), and words after the 31st are dropped.
void split_command(const std::string &line, CommandWords &words);
