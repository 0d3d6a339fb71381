// SPDX-License-Identifier: GPL-2.0-or-later
// The module's three entry points: the host calls nothing else directly.
#include "plugin.h"

#include "vc.h"

xchat_plugin *plugin_handle = nullptr;

namespace {

// The host keeps these pointers for as long as the module is loaded.
char plugin_name_text[] = "VELM Integration";
char plugin_desc_text[] = "Shows now playing song information from VELM now playing";
char plugin_version_text[] = "0.2";

void write_identity(char **name, char **desc, char **version) noexcept {
    *name = plugin_name_text;
    *desc = plugin_desc_text;
    *version = plugin_version_text;
}

} // namespace

int xchat_plugin_init(xchat_plugin *handle, char **plugin_name, char **plugin_desc,
                      char **plugin_version, char * /*arg*/) noexcept {
    plugin_handle = handle;
    write_identity(plugin_name, plugin_desc, plugin_version);

    // A service that is not running shows later, in the commands' messages.
    vc_init(1);

    xchat_hook_command(plugin_handle, "np", XCHAT_PRI_NORM, np_command, nullptr, nullptr);
    xchat_hook_command(plugin_handle, "vc", XCHAT_PRI_NORM, vc_command, nullptr, nullptr);

    xchat_print(plugin_handle, "VELM plug-in loaded successfully!\n");
    return 1;
}

void xchat_plugin_get_info(char **name, char **desc, char **version,
                           void ** /*reserved*/) noexcept {
    write_identity(name, desc, version);
}

int xchat_plugin_deinit(void) noexcept {
    vc_uninit();
    return 1;
}
