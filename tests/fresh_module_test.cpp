// SPDX-License-Identifier: GPL-2.0-or-later
// A module that no one has initialised: its own process, so that nothing
// else has touched the module-wide state first.
#include <gtest/gtest.h>

#include "fake_host.h"
#include "plugin.h"

TEST(GetInfo, BeforeInitReportsIdentityAndTouchesNothing) {
    reset_fakes();
    char *name = nullptr, *desc = nullptr, *version = nullptr;
    int reserved_target = 0;
    void *reserved = &reserved_target;
    xchat_plugin_get_info(&name, &desc, &version, &reserved);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "VELM Integration");
    EXPECT_STREQ(desc, "Shows now playing song information from VELM now playing");
    EXPECT_STREQ(version, "0.2");
    EXPECT_EQ(reserved, &reserved_target);
    EXPECT_EQ(plugin_handle, nullptr);
    EXPECT_TRUE(call_log.empty()) << "the client library must not be started";
}
