// SPDX-License-Identifier: GPL-2.0-or-later
// /vc: passes the user's words to the service as one of its commands.
#include <cstring>

#include "allocation.h"
#include "encoding.h"
#include "plugin.h"
#include "vc.h"

namespace {

constexpr std::size_t joined_args_size = 2048;

} // namespace

int vc_command(char *word[], char * /*word_eol*/[], void * /*user_data*/) noexcept {
    // The words from index 2 on, each followed by one space while joining;
    // the list ends at an empty or null entry or after its last entry.
    char joined_args[joined_args_size];
    std::size_t used = 0;
    for (int i = 2; i < XCHAT_WORD_COUNT && word[i] != nullptr && word[i][0] != '\0'; ++i) {
        const std::size_t length = std::strlen(word[i]);
        // The word and its space must leave room for the terminator.
        if (length + 1 > joined_args_size - 1 - used) {
            xchat_print(plugin_handle, "VELM command is too long (at most 2046 bytes)\n");
            return XCHAT_EAT_ALL;
        }
        std::memcpy(joined_args + used, word[i], length);
        used += length;
        joined_args[used++] = ' ';
    }
    if (used > 0)
        --used;
    joined_args[used] = '\0';

    // A failed conversion has reported itself on the standard error stream.
    char *command;
    if (utf8_to_local(joined_args, &command) != 0)
        return XCHAT_EAT_ALL;
    if (vc_exec(command) != 0)
        xchat_print(plugin_handle, "VELM is not running or is misconfigured\n");
    velm_free(command);
    return XCHAT_EAT_ALL;
}
