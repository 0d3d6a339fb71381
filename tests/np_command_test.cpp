// /np against the in-process doubles of the host and the client library.
#include <gtest/gtest.h>

#include <string>

#include "fake_host.h"
#include "fault_injection.h"
#include "plugin.h"

namespace {

using Log = std::vector<std::string>;

const char np_failure[] =
    "VELM is not running, is misconfigured or Preset #3 is empty, please check readme.txt!\n";

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

TEST_F(NpCommand, ServiceDownPrintsTheMessageOnceAndExecutesNothing) {
    fake_service.eval_result = 1;
    EXPECT_EQ(run_command(np_command, {}), XCHAT_EAT_ALL);
    EXPECT_EQ(fake_host.printed, (Log{np_failure}));
    EXPECT_TRUE(fake_host.executed.empty());
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
    EXPECT_EQ(fake_host.printed, (Log{np_failure}));
}

TEST_F(NpCommand, EmptyPresetPrintsTheMessageAndExecutesNothing) {
    fake_service.eval_bytes = terminated("");
    EXPECT_EQ(run_command(np_command, {}), XCHAT_EAT_ALL);
    EXPECT_EQ(fake_host.printed, (Log{np_failure}));
    EXPECT_TRUE(fake_host.executed.empty());
}

TEST_F(NpCommand, ResultFillingTheWholeBufferIsCutAtItsLastByte) {
    fake_service.eval_bytes = "me " + std::string(2045, 'x');
    ASSERT_EQ(fake_service.eval_bytes.size(), 2048u);
    run_command(np_command, {});
    ASSERT_EQ(fake_host.executed.size(), 1u);
    EXPECT_EQ(fake_host.executed[0], "me " + std::string(2044, 'x'));
}

TEST_F(NpCommand, LineBreaksBecomeSpaces) {
    fake_service.eval_bytes = terminated("me a\r\nPRIVMSG #x :b\nc\rd");
    run_command(np_command, {});
    EXPECT_EQ(fake_host.executed, (Log{"me a  PRIVMSG #x :b c d"}));
}

TEST_F(NpCommand, FormatDirectivesAreExecutedVerbatim) {
    fake_service.eval_bytes = terminated("me %s %n %% %d %x%");
    run_command(np_command, {});
    EXPECT_EQ(fake_host.executed, (Log{"me %s %n %% %d %x%"}));
}

TEST_F(NpCommand, EveryAllocationFailureExecutesNothingAndLeaksNothing) {
    fake_service.eval_bytes = terminated("me Caf\xE9");
    run_command(np_command, {});
    const int allocations = allocation_count();
    EXPECT_EQ(allocations, 2);
    for (int fail_at = 1; fail_at <= allocations; ++fail_at) {
        SCOPED_TRACE(fail_at);
        plugin_handle = reset_fakes();
        fake_service.eval_bytes = terminated("me Caf\xE9");
        reset_allocations(fail_at);
        EXPECT_EQ(run_command(np_command, {}), XCHAT_EAT_ALL);
        EXPECT_EQ(fake_host.printed, (Log{np_failure}));
        EXPECT_TRUE(fake_host.executed.empty());
        EXPECT_EQ(live_allocations(), 0u);
    }
}

} // namespace
