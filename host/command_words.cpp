#include "command_words.h"

namespace {
char empty_word[] = "";
}

void split_command(const std::string &line, CommandWords &words) {
    words.line = line;
    // Every word is copied with its terminator; the copies never need more
    // room than the line and one terminator per word.
    words.text.assign(line.size() + XCHAT_WORD_COUNT + 1, '\0');
    for (int i = 0; i < XCHAT_WORD_COUNT; ++i)
        words.word[i] = words.word_eol[i] = empty_word;

    std::size_t at = 0;
    std::size_t out = 0;
    bool quoted = false;
    int count = 0;
    const std::size_t size = line.size();
    while (at < size) {
        while (at < size && line[at] == ' ')
            ++at;
        if (at == size)
            break;
        const bool kept = count < XCHAT_WORD_COUNT - 1;
        if (kept) {
            ++count;
            words.word[count] = &words.text[out];
            words.word_eol[count] = &words.line[at];
        }
        for (; at < size && (quoted || line[at] != ' '); ++at) {
            if (line[at] == '"')
                quoted = !quoted;
            if (kept)
                words.text[out++] = line[at];
        }
        if (kept)
            words.text[out++] = '\0';
    }
}
