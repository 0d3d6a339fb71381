// Our declaration of the host's function table against the host's published
// plug-in header: the slots the module calls must sit where the host puts them.
#include <cstddef>

#include <hexchat-plugin.h>

#include <gtest/gtest.h>

#include "xchat_plugin.h"

TEST(HostTable, CalledSlotsMatchThePublishedOrder) {
    EXPECT_EQ(offsetof(_xchat_plugin, xchat_hook_command),
              offsetof(_hexchat_plugin, hexchat_hook_command));
    EXPECT_EQ(offsetof(_xchat_plugin, xchat_print), offsetof(_hexchat_plugin, hexchat_print));
    EXPECT_EQ(offsetof(_xchat_plugin, xchat_commandf), offsetof(_hexchat_plugin, hexchat_commandf));
    // The published table's first, seventh and tenth entries.
    EXPECT_EQ(offsetof(_xchat_plugin, xchat_print), 6 * sizeof(void *));
    EXPECT_EQ(offsetof(_xchat_plugin, xchat_commandf), 9 * sizeof(void *));
}

TEST(HostTable, ConstantsMatchThePublishedValues) {
    EXPECT_EQ(XCHAT_PRI_NORM, HEXCHAT_PRI_NORM);
    EXPECT_EQ(XCHAT_EAT_ALL, HEXCHAT_EAT_ALL);
}
