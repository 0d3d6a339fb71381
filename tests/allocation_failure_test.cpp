// SPDX-License-Identifier: GPL-2.0-or-later
// Every allocation of /np and /vc, failed in turn. Each row of the tables
// names one allocation, in the order the command makes them, and what must
// follow when it fails: the converter's result and result pointer, the
// message in the window or on the standard error stream, and for the
// command that nothing is executed or sent, nothing leaks and nothing is
// released that was not allocated. The walk first checks that the table
// names every allocation a successful command makes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codepage.h"
#include "encoding.h"
#include "expected_messages.h"
#include "fake_host.h"
#include "fault_injection.h"
#include "plugin.h"

namespace {

using Log = std::vector<std::string>;

enum class Pointer { untouched, null };

struct AllocationFailure {
    const char *allocation;
    Pointer pointer;            // the converter's result pointer afterwards
    const char *window;         // the command's message in the window, "" for none
    const char *standard_error; // "" for nothing
};

struct Walk {
    const char *command;
    xchat_command_cb callback;
    int (*converter)(const char *, char **) noexcept;
    std::string service_text;      // what vc_eval writes, for /np
    std::vector<std::string> args; // the command's words, for /vc
    std::string converted;         // what the converter is given
    std::vector<AllocationFailure> failures;
};

void PrintTo(const Walk &walk, std::ostream *out) {
    *out << walk.command;
}

const Walk walks[] = {
    {"np",
     np_command,
     local_to_utf8,
     std::string("me Caf\xE9") + '\0',
     {},
     "me Caf\xE9",
     {
         {"UTF-16 units of the line", Pointer::untouched, np_failure_message, ""},
         {"UTF-8 line", Pointer::null, np_failure_message, ""},
     }},
    {"vc",
     vc_command,
     utf8_to_local,
     "",
     {"Caf\xC3\xA9", "\xE2\x82\xAC"},
     "Caf\xC3\xA9 \xE2\x82\xAC",
     {
         {"UTF-16 units of the command", Pointer::untouched, "", utf16_out_of_memory_message},
         {"command in the code page", Pointer::null, "", local_out_of_memory_message},
     }},
};

class AllocationWalk : public testing::TestWithParam<Walk> {
  protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 1252u) << "run with LC_ALL=en_US.CP1252";
    }

    int run_command(int fail_at) {
        plugin_handle = reset_fakes();
        fake_service.eval_bytes = GetParam().service_text;
        reset_allocations(fail_at);
        return ::run_command(GetParam().callback, GetParam().args);
    }
};

TEST_P(AllocationWalk, TheTableNamesEveryAllocation) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_command(0), XCHAT_EAT_ALL);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fake_host.executed.size() + fake_service.exec_commands.size(), 1u)
        << "the command did its work";
    EXPECT_EQ(allocation_count(), static_cast<int>(GetParam().failures.size()));
    EXPECT_EQ(live_allocations(), 0u);
}

TEST_P(AllocationWalk, ConverterFailsCleanlyAtEachAllocation) {
    int fail_at = 0;
    for (const AllocationFailure &failure : GetParam().failures) {
        SCOPED_TRACE(failure.allocation);
        reset_allocations(++fail_at);
        char sentinel = 0;
        char *result = &sentinel;
        testing::internal::CaptureStderr();
        EXPECT_EQ(GetParam().converter(GetParam().converted.c_str(), &result), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), failure.standard_error);
        EXPECT_EQ(result, failure.pointer == Pointer::null ? nullptr : &sentinel);
        EXPECT_EQ(live_allocations(), 0u) << "leaked";
        EXPECT_EQ(stray_releases(), 0) << "released what it did not allocate";
    }
}

TEST_P(AllocationWalk, CommandDoesNothingAndSaysSoAtEachAllocation) {
    int fail_at = 0;
    for (const AllocationFailure &failure : GetParam().failures) {
        SCOPED_TRACE(failure.allocation);
        testing::internal::CaptureStderr();
        EXPECT_EQ(run_command(++fail_at), XCHAT_EAT_ALL);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), failure.standard_error);
        EXPECT_EQ(fake_host.printed, *failure.window == '\0' ? Log{} : Log{failure.window});
        EXPECT_TRUE(fake_host.executed.empty()) << "executed a line";
        EXPECT_TRUE(fake_service.exec_commands.empty()) << "sent a command";
        EXPECT_EQ(live_allocations(), 0u) << "leaked";
        EXPECT_EQ(stray_releases(), 0) << "released what it did not allocate";
        EXPECT_EQ(fake_host.unexpected_calls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, AllocationWalk, testing::ValuesIn(walks),
                         [](const auto &info) { return std::string(info.param.command); });

} // namespace
