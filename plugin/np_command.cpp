// SPDX-License-Identifier: GPL-2.0-or-later
// /np: has the host execute the service's now-playing line, format preset 3.
#include "allocation.h"
#include "encoding.h"
#include "plugin.h"
#include "vc.h"

namespace {

// The service's result, reused by every /np. Only vc_eval writes it.
char eval_buffer[VC_RESULT_SIZE];

const char np_failure_message[] =
    "VELM is not running, is misconfigured or Preset #3 is empty, please check readme.txt!\n";

} // namespace

int np_command(char * /*word*/[], char * /*word_eol*/[], void * /*user_data*/) noexcept {
    if (vc_eval("formatpreset 3", eval_buffer) != 0) {
        xchat_print(plugin_handle, np_failure_message);
        return XCHAT_EAT_ALL;
    }
    // The library is given no size: whatever it wrote, the text ends inside
    // the buffer.
    eval_buffer[VC_RESULT_SIZE - 1] = '\0';

    char *line;
    if (local_to_utf8(eval_buffer, &line) != 0) {
        xchat_print(plugin_handle, np_failure_message);
        return XCHAT_EAT_ALL;
    }
    // Song text comes from file tags; a line break in a command line would
    // let a tag send raw lines to the server.
    for (char *c = line; *c != '\0'; ++c) {
        if (*c == '\r' || *c == '\n')
            *c = ' ';
    }
    xchat_commandf(plugin_handle, "%s", line);
    velm_free(line);
    return XCHAT_EAT_ALL;
}
