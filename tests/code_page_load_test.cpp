// SPDX-License-Identifier: GPL-2.0-or-later
// The code-page calls while iconv_open fails: for a passing reason (no file descriptor or no
// memory left) or because iconv lacks the code page; and a code page's first load. The program
// replaces iconv_open with one that counts its calls, fails while a test asks it to and otherwise
// calls the system's. A code page's tables, once read, stay for the life of the process, so each
// test takes a code page of its own.
#include "codepage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <iconv.h>
#include <latch>
#include <string_view>
#include <thread>
#include <vector>

namespace {

int failing_errno = 0; // 0: iconv_open works
int failing_open = 0;  // the only call that fails, counted from 1; 0: every call
std::atomic<int> opens{0};
int failed_opens = 0;

void fail_opens_with(int error, int only_open = 0) {
    failing_errno = error;
    failing_open = only_open;
    opens = 0;
    failed_opens = 0;
}

} // namespace

extern "C" iconv_t iconv_open(const char *to, const char *from) {
    const int open = ++opens;
    if (failing_errno != 0 && (failing_open == 0 || failing_open == open)) {
        ++failed_opens;
        errno = failing_errno;
        return reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
    }
    using Open = iconv_t (*)(const char *, const char *);
    static const auto system_open = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    return system_open(to, from);
}

namespace {

struct LoadFailure {
    const char *rule;
    int error;
    UINT cp; // a code page no other case reads
    DWORD last_error;
};

void PrintTo(const LoadFailure &failure, std::ostream *out) {
    *out << failure.rule;
}

// A load opens bytes to units, then units to bytes; either failing fails the load.
TEST(TableLoad, FailedLoadIsTriedAgain) {
    struct Case {
        int failing_open;
        UINT cp;
        char byte;
        WCHAR unit;
    };
    for (const Case &c : {Case{1, 1251, '\xCF', u'\u041F'}, Case{2, 1254, '\xD0', u'\u011E'}}) {
        SCOPED_TRACE(testing::Message() << "open " << c.failing_open << " fails");
        WCHAR unit = 0;
        fail_opens_with(EMFILE, c.failing_open);
        EXPECT_EQ(MultiByteToWideChar(c.cp, 0, &c.byte, 1, &unit, 1), 0);
        EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_OPEN_FILES);
        failing_errno = 0;
        ASSERT_EQ(failed_opens, 1) << "iconv_open was not replaced";
        EXPECT_EQ(MultiByteToWideChar(c.cp, 0, &c.byte, 1, &unit, 1), 1);
        EXPECT_EQ(unit, c.unit);
        char byte = 0;
        EXPECT_EQ(WideCharToMultiByte(c.cp, 0, &c.unit, 1, &byte, 1, nullptr, nullptr), 1);
        EXPECT_EQ(byte, c.byte);
    }
}

// Threads that use a code page first, all at once, wait for one load: two opens. Each code
// page is a chance of its own to catch a second load.
TEST(TableLoad, FirstUseFromManyThreadsLoadsOnce) {
    struct Case {
        UINT cp;
        const char *bytes;
        WCHAR unit;
    };
    for (const Case &c : {Case{932, "\x93\xFA", u'\u65E5'}, Case{936, "\xD6\xD0", u'\u4E2D'},
                          Case{949, "\xC7\xD1", u'\uD55C'}, Case{950, "\xA4\xA4", u'\u4E2D'}}) {
        fail_opens_with(0);
        std::vector<WCHAR> units(8);
        std::latch start(static_cast<std::ptrdiff_t>(units.size()));
        std::vector<std::thread> threads;
        threads.reserve(units.size());
        for (WCHAR &unit : units) {
            threads.emplace_back([&c, &unit, &start] {
                start.arrive_and_wait();
                MultiByteToWideChar(c.cp, 0, c.bytes, 2, &unit, 1);
            });
        }
        for (std::thread &thread : threads) {
            thread.join();
        }
        EXPECT_EQ(opens.load(), 2)
            << c.cp << " 0: loaded before the threads started; 4 or more: loaded more than once";
        EXPECT_EQ(units, std::vector<WCHAR>(units.size(), c.unit)) << c.cp;
    }
}

// ASCII reads alike in every code page the layer offers, so it needs no table. Other text, and
// every text in a code page iconv lacks, fails with the reason.
class TablesCannotBeRead : public testing::TestWithParam<LoadFailure> {};

TEST_P(TablesCannotBeRead, OnlyAsciiConverts) {
    const LoadFailure &failure = GetParam();
    const bool lacking = failure.error == EINVAL;
    const UINT cp = failure.cp;
    fail_opens_with(failure.error);
    WCHAR wide[4] = {u'#', u'#', u'#', u'#'};
    char narrow[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(MultiByteToWideChar(cp, MB_PRECOMPOSED, "abc", -1, wide, 4), lacking ? 0 : 4);
    EXPECT_EQ(WideCharToMultiByte(cp, WC_COMPOSITECHECK, u"abc", -1, narrow, 4, nullptr, nullptr),
              lacking ? 0 : 4);
    if (!lacking) {
        EXPECT_EQ(std::u16string_view(wide, 4), std::u16string_view(u"abc\0", 4));
        EXPECT_EQ(std::string_view(narrow, 4), std::string_view("abc\0", 4));
        EXPECT_EQ(MultiByteToWideChar(cp, 0, "abc", 3, nullptr, 0), 3);
        EXPECT_EQ(WideCharToMultiByte(cp, 0, u"abc", 3, narrow, 2, nullptr, nullptr), 0);
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    }
    // A letter after ASCII, and the first byte and unit past ASCII.
    for (const std::string_view bytes : {"a\xE9", "\x80"}) {
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 4),
                  0);
        EXPECT_EQ(GetLastError(), failure.last_error);
    }
    for (const std::u16string_view units : {u"a\u00E9", u"\u0080"}) {
        SetLastError(0);
        EXPECT_EQ(WideCharToMultiByte(cp, 0, units.data(), static_cast<int>(units.size()), narrow,
                                      4, nullptr, nullptr),
                  0);
        EXPECT_EQ(GetLastError(), failure.last_error);
    }
    failing_errno = 0;
    EXPECT_GT(failed_opens, 0) << "iconv_open was not replaced";
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, TablesCannotBeRead,
    testing::Values(LoadFailure{"NoMemory", ENOMEM, 1250, ERROR_NOT_ENOUGH_MEMORY},
                    LoadFailure{"NoFileDescriptor", ENFILE, 1257, ERROR_TOO_MANY_OPEN_FILES},
                    LoadFailure{"IconvLacksTheCodePage", EINVAL, 1253, ERROR_INVALID_PARAMETER}),
    [](const testing::TestParamInfo<LoadFailure> &info) { return std::string(info.param.rule); });

} // namespace
