// SPDX-License-Identifier: GPL-2.0-or-later
// Module-wide state and the two command callbacks.
#pragma once

#include "xchat_plugin.h"

// The host's handle for this module: set once by xchat_plugin_init, never
// cleared, passed to every host call.
extern xchat_plugin *plugin_handle;

// The host's functions, reached through the table the handle begins with.
#define xchat_hook_command (plugin_handle->xchat_hook_command)
#define xchat_print (plugin_handle->xchat_print)
#define xchat_commandf (plugin_handle->xchat_commandf)

int np_command(char *word[], char *word_eol[], void *user_data) noexcept;
int vc_command(char *word[], char *word_eol[], void *user_data) noexcept;

#ifdef _WIN32
#define VELM_EXPORT
#else
#define VELM_EXPORT __attribute__((visibility("default")))
#endif

// HexChat looks its modules up by the same entry points under its own prefix;
// the velm_hexchat build renames them here and nowhere else.
#ifdef VELM_HEXCHAT_ENTRY_POINTS
#define xchat_plugin_init hexchat_plugin_init
#define xchat_plugin_get_info hexchat_plugin_get_info
#define xchat_plugin_deinit hexchat_plugin_deinit
#endif

extern "C" {
VELM_EXPORT int xchat_plugin_init(xchat_plugin *handle, char **plugin_name, char **plugin_desc,
                                  char **plugin_version, char *arg) noexcept;
VELM_EXPORT void xchat_plugin_get_info(char **name, char **desc, char **version,
                                       void **reserved) noexcept;
VELM_EXPORT int xchat_plugin_deinit(void) noexcept;
}
