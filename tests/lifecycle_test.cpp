// SPDX-License-Identifier: GPL-2.0-or-later
// The module's entry points against in-process doubles of the host and the
// client library.
#include <gtest/gtest.h>

#include "fake_host.h"
#include "plugin.h"

namespace {

using Log = std::vector<std::string>;

const char loaded_message[] = "VELM plug-in loaded successfully!\n";

struct Identity {
    char *name = nullptr;
    char *desc = nullptr;
    char *version = nullptr;
};

void expect_identity(const Identity &identity) {
    ASSERT_NE(identity.name, nullptr);
    ASSERT_NE(identity.desc, nullptr);
    ASSERT_NE(identity.version, nullptr);
    EXPECT_STREQ(identity.name, "VELM Integration");
    EXPECT_STREQ(identity.desc, "Shows now playing song information from VELM now playing");
    EXPECT_STREQ(identity.version, "0.2");
}

int init_module(Identity &identity) {
    char arg[] = "ignored";
    return xchat_plugin_init(reset_fakes(), &identity.name, &identity.desc, &identity.version, arg);
}

TEST(Init, StartsTheLibraryRegistersBothCommandsThenGreetsInThatOrder) {
    Identity identity;
    EXPECT_EQ(init_module(identity), 1);
    expect_identity(identity);
    EXPECT_EQ(call_log,
              (Log{"vc_init 1", "hook np", "hook vc", std::string("print ") + loaded_message}));
    EXPECT_EQ(plugin_handle, &fake_host.table);
    EXPECT_EQ(fake_host.unexpected_calls, 0);
}

TEST(Init, RegistersEachCommandAtNormalPriorityWithoutHelpOrUserData) {
    Identity identity;
    init_module(identity);
    ASSERT_EQ(fake_host.hooks.size(), 2u);
    const xchat_command_cb callbacks[] = {np_command, vc_command};
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(fake_host.hooks[i].name);
        EXPECT_EQ(fake_host.hooks[i].priority, XCHAT_PRI_NORM);
        EXPECT_EQ(fake_host.hooks[i].callback, callbacks[i]);
        EXPECT_EQ(fake_host.hooks[i].help_text, nullptr);
        EXPECT_EQ(fake_host.hooks[i].user_data, nullptr);
    }
}

TEST(Init, SucceedsAndGreetsWhenTheServiceIsDown) {
    reset_fakes();
    Identity identity;
    char arg[] = "";
    fake_service.init_result = -1;
    xchat_plugin *handle = &fake_host.table;
    EXPECT_EQ(xchat_plugin_init(handle, &identity.name, &identity.desc, &identity.version, arg), 1);
    EXPECT_EQ(fake_service.init_modes, (std::vector<int>{1}));
    EXPECT_EQ(fake_host.hooks.size(), 2u);
    EXPECT_EQ(fake_host.printed, (Log{loaded_message}));
}

TEST(Deinit, ShutsTheLibraryDownOnceAndKeepsTheHandle) {
    Identity identity;
    init_module(identity);
    call_log.clear();
    EXPECT_EQ(xchat_plugin_deinit(), 1);
    EXPECT_EQ(call_log, (Log{"vc_uninit"}));
    EXPECT_EQ(fake_service.uninit_calls, 1);
    EXPECT_EQ(plugin_handle, &fake_host.table);
}

TEST(Lifecycle, EachLoadStartsAndEachUnloadStopsTheLibraryOnce) {
    for (int round = 0; round < 3; ++round) {
        Identity identity;
        init_module(identity);
        xchat_plugin_deinit();
        EXPECT_EQ(fake_service.init_modes, (std::vector<int>{1}));
        EXPECT_EQ(fake_service.uninit_calls, 1);
    }
}

TEST(GetInfo, WhileRunningChangesNothing) {
    Identity identity;
    init_module(identity);
    call_log.clear();
    Identity info;
    int reserved_target = 0;
    void *reserved = &reserved_target;
    xchat_plugin_get_info(&info.name, &info.desc, &info.version, &reserved);
    expect_identity(info);
    EXPECT_EQ(info.name, identity.name);
    EXPECT_EQ(reserved, &reserved_target);
    EXPECT_TRUE(call_log.empty());
    EXPECT_EQ(plugin_handle, &fake_host.table);
}

} // namespace
