// SPDX-License-Identifier: GPL-2.0-or-later
// The host's plug-in interface as this module uses it.
//
// The host hands every plug-in a handle that begins with a table of function
// pointers in the host's published order. The module calls the host only
// through that table, so it needs no symbols from the host executable. Only
// the slots the module calls are typed; the others are kept as opaque
// pointers so that every offset stays right.
#pragma once

#define XCHAT_PRI_NORM 0
#define XCHAT_EAT_ALL 3

typedef struct _xchat_plugin xchat_plugin;
typedef struct _xchat_hook xchat_hook;

typedef int (*xchat_command_cb)(char *word[], char *word_eol[], void *user_data);

using xchat_opaque_fn = void (*)();

struct _xchat_plugin {
    xchat_hook *(*xchat_hook_command)(xchat_plugin *ph, const char *name, int pri,
                                      xchat_command_cb callback, const char *help_text,
                                      void *userdata);
    xchat_opaque_fn xchat_hook_server;
    xchat_opaque_fn xchat_hook_print;
    xchat_opaque_fn xchat_hook_timer;
    xchat_opaque_fn xchat_hook_fd;
    xchat_opaque_fn xchat_unhook;
    void (*xchat_print)(xchat_plugin *ph, const char *text);
    xchat_opaque_fn xchat_printf;
    xchat_opaque_fn xchat_command;
    void (*xchat_commandf)(xchat_plugin *ph, const char *format, ...);
};

// Number of entries in a command callback's word and word_eol lists: index 0
// is unused, 1 is the command name, unused entries are empty strings.
#define XCHAT_WORD_COUNT 32
