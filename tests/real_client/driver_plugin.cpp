// SPDX-License-Identifier: GPL-2.0-or-later
// A HexChat plug-in of the real-client test's own. It joins the test channel
// once the server has greeted the client, runs each command that the test's
// observer sends it as "drive <n> <command line>" in a private message (in the
// channel's window, as if typed there) and then answers "done <n>", so that
// the observer can tell what the command put on the wire. Every 421 (unknown
// command) from the server is passed on to the observer too.
#include <hexchat-plugin.h>

#include <cstring>
#include <initializer_list>

namespace {

hexchat_plugin *driver_handle = nullptr;
const char channel[] = "#velm";

int join_channel(char * /*word*/[], char * /*word_eol*/[], void * /*data*/) noexcept {
    hexchat_command(driver_handle, "join #velm");
    return HEXCHAT_EAT_NONE;
}

// word: ":observer!user@host" "PRIVMSG" target ":drive" n command...
int run_driven_command(char *word[], char *word_eol[], void * /*data*/) noexcept {
    if (std::strncmp(word[1], ":observer!", 10) != 0 || std::strcmp(word[4], ":drive") != 0)
        return HEXCHAT_EAT_NONE;
    if (hexchat_context *window = hexchat_find_context(driver_handle, nullptr, channel))
        hexchat_set_context(driver_handle, window);
    hexchat_command(driver_handle, word_eol[6]);
    hexchat_commandf(driver_handle, "quote NOTICE observer :done %s", word[5]);
    return HEXCHAT_EAT_ALL;
}

int report_unknown_command(char * /*word*/[], char *word_eol[], void * /*data*/) noexcept {
    hexchat_commandf(driver_handle, "quote NOTICE observer :421 %s", word_eol[4]);
    return HEXCHAT_EAT_NONE;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int hexchat_plugin_init(hexchat_plugin *handle,
                                                                          char **name, char **desc,
                                                                          char **version,
                                                                          char * /*arg*/) noexcept {
    driver_handle = handle;
    *name = const_cast<char *>("velm test driver");
    *desc = const_cast<char *>("Runs the commands of the real-client test");
    *version = const_cast<char *>("1");
    for (const char *end_of_greeting : {"376", "422"})
        hexchat_hook_server(handle, end_of_greeting, HEXCHAT_PRI_NORM, join_channel, nullptr);
    hexchat_hook_server(handle, "PRIVMSG", HEXCHAT_PRI_HIGHEST, run_driven_command, nullptr);
    hexchat_hook_server(handle, "421", HEXCHAT_PRI_NORM, report_unknown_command, nullptr);
    return 1;
}
