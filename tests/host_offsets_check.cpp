// SPDX-License-Identifier: GPL-2.0-or-later
// Our declaration of the host's function table against the host's published plug-in header:
// the slots the module calls must sit where the host puts them. Compiled, not run, so that a
// cross build for an architecture whose programs cannot run here still fails on a wrong table.
#include <cstddef>

#include <hexchat-plugin.h>
// On Windows the published header also turns the slot names into macros that call through a
// plug-in's handle; here they name the slots themselves.
#undef hexchat_hook_command
#undef hexchat_print
#undef hexchat_commandf

#include "xchat_plugin.h"

static_assert(offsetof(_xchat_plugin, xchat_hook_command) ==
              offsetof(_hexchat_plugin, hexchat_hook_command));
static_assert(offsetof(_xchat_plugin, xchat_print) == offsetof(_hexchat_plugin, hexchat_print));
static_assert(offsetof(_xchat_plugin, xchat_commandf) ==
              offsetof(_hexchat_plugin, hexchat_commandf));
// The published table's first, seventh and tenth entries.
static_assert(offsetof(_xchat_plugin, xchat_hook_command) == 0);
static_assert(offsetof(_xchat_plugin, xchat_print) == 6 * sizeof(void *));
static_assert(offsetof(_xchat_plugin, xchat_commandf) == 9 * sizeof(void *));
static_assert(XCHAT_PRI_NORM == HEXCHAT_PRI_NORM);
static_assert(XCHAT_EAT_ALL == HEXCHAT_EAT_ALL);
