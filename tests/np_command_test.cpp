// SPDX-License-Identifier: GPL-2.0-or-later
// /np against the in-process doubles of the host and the client library.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "expected_messages.h"
#include "fake_host.h"
#include "fault_injection.h"
#include "plugin.h"

namespace {

using Log = std::vector<std::string>;

// A service text as the library writes it, with its terminator.
std::string terminated(const char *text) {
    return std::string(text) + '\0';
}

class NpCommand : public testing::Test {
  protected:
    void SetUp() override {
        plugin_handle = reset_fakes();
        reset_allocations();
    }
    void TearDown() override {
        EXPECT_EQ(live_allocations(), 0u) << "a converted line was not released";
        EXPECT_EQ(stray_releases(), 0);
        EXPECT_EQ(fake_host.unexpected_calls, 0);
    }
};

TEST_F(NpCommand, ExecutesThePresetAsOneCommandLine) {
    fake_service.eval_bytes = terminated("me is listening to Caf\xE9 \x80");
    EXPECT_EQ(run_command(np_command, {}), XCHAT_EAT_ALL);
    EXPECT_EQ(call_log, (Log{"vc_eval formatpreset 3",
                             "command me is listening to Caf\xC3\xA9 \xE2\x82\xAC"}));
}

// Any result but 0 is a failure, negative ones included.
TEST_F(NpCommand, ServiceDownPrintsTheMessageOnceAndExecutesNothing) {
    for (const int result : {1, -1, INT_MIN}) {
        plugin_handle = reset_fakes();
        fake_service.eval_bytes = terminated("me is listening");
        fake_service.eval_result = result;
        EXPECT_EQ(run_command(np_command, {}), XCHAT_EAT_ALL);
        EXPECT_EQ(fake_host.printed, (Log{np_failure_message})) << "vc_eval gave " << result;
        EXPECT_TRUE(fake_host.executed.empty()) << "vc_eval gave " << result;
    }
}

TEST_F(NpCommand, IgnoresItsArguments) {
    fake_service.eval_bytes = terminated("me plays");
    run_command(np_command, {"anything", "at all"});
    run_command(np_command, {});
    EXPECT_EQ(fake_service.eval_commands, (Log{"formatpreset 3", "formatpreset 3"}));
    EXPECT_EQ(fake_host.executed, (Log{"me plays", "me plays"}));
}

TEST_F(NpCommand, AsksTheServiceAgainEachTime) {
    fake_service.eval_bytes = terminated("me first");
    run_command(np_command, {});
    fake_service.eval_bytes = terminated("me second");
    run_command(np_command, {});
    fake_service.eval_result = 2;
    run_command(np_command, {});
    EXPECT_EQ(fake_host.executed, (Log{"me first", "me second"}));
    EXPECT_EQ(fake_host.printed, (Log{np_failure_message}));
}

} // namespace
