// SPDX-License-Identifier: GPL-2.0-or-later
// The main of every test program: GoogleTest's own, except that a run in which no test ran
// fails. A filter that matches nothing (after a suite is renamed, say) would otherwise pass
// without checking anything. The closing line is printed only after a run that passed; where a
// program runs under an emulator, the test requires that line as proof that it really ran.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (GTEST_FLAG_GET(list_tests)) {
        return result;
    }
    const testing::UnitTest &run = *testing::UnitTest::GetInstance();
    if (run.test_to_run_count() == 0) {
        std::fprintf(stderr, "no test ran: the filter matches no test of this program\n");
        return 1;
    }
    if (result == 0) {
        std::printf("velm-tests: %d tests ran, none failed\n", run.test_to_run_count());
    }
    return result;
}
