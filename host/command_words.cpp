// SPDX-License-Identifier: GPL-2.0-or-later
#include "command_words.h"

#include <cstddef>

namespace {

char empty_word[] = "";

// The length of the UTF-8 sequence that `byte` leads, as HexChat takes it
// (GLib's g_utf8_skip): 1 for ASCII, a continuation byte, 0xFE and 0xFF.
std::size_t sequence_length(unsigned char byte) {
    if (byte < 0xC0 || byte >= 0xFE)
        return 1;
    if (byte < 0xE0)
        return 2;
    if (byte < 0xF0)
        return 3;
    if (byte < 0xF8)
        return 4;
    return byte < 0xFC ? 5 : 6;
}

} // namespace

void split_command(const std::string &line, CommandWords &words) {
    words.line = line;
    // The words are copied without their quotes, each with its terminator:
    // every byte written takes the place of at least one byte of the line (a
    // terminator that of the space ending its word), and the last
    // terminator follows.
    words.text.assign(line.size() + 1, '\0');
    for (int i = 0; i < XCHAT_WORD_COUNT; ++i)
        words.word[i] = words.word_eol[i] = empty_word;
    words.word[1] = words.text.data();
    words.word_eol[1] = words.line.data();

    int count = 2; // the entry the next word goes into
    bool after_space = false;
    bool quoted = false;
    std::size_t out = 0;
    std::size_t at = 0;
    const std::size_t size = line.size();
    while (at < size) {
        const char byte = line[at];
        if (byte == '"' && at + 1 < size && line[at + 1] == '"') {
            words.text[out++] = '"';
            at += 2;
            after_space = false;
        } else if (byte == '"') {
            quoted = !quoted;
            ++at;
        } else if (byte == ' ' && !quoted) {
            if (!after_space) {
                words.text[out++] = '\0';
                if (count < XCHAT_WORD_COUNT) {
                    words.word[count] = &words.text[out];
                    words.word_eol[count] = &words.line[at + 1];
                    ++count;
                }
                after_space = true;
            }
            ++at;
        } else {
            after_space = false;
            std::size_t length = sequence_length(static_cast<unsigned char>(byte));
            if (length > size - at)
                length = size - at;
            for (; length > 0; --length)
                words.text[out++] = line[at++];
        }
    }
    words.text[out] = '\0';
}
