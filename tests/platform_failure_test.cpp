// SPDX-License-Identifier: GPL-2.0-or-later
// The converters against a scripted double of the code-page services, for
// the platform failures the real services never give on well-formed calls:
// refused flags, a counting call that fails, a conversion that disagrees
// with its count.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "codepage.h"
#include "encoding.h"
#include "fault_injection.h"

namespace {

// One scripted answer: the result and, when it is 0, the error it leaves.
struct Step {
    int result;
    DWORD error = 0;
};

std::deque<Step> script;
std::vector<DWORD> flags_seen;
thread_local DWORD last_error = 0;

int next_step(DWORD flags) {
    flags_seen.push_back(flags);
    if (script.empty()) {
        ADD_FAILURE() << "more platform calls than scripted";
        return 0;
    }
    const Step step = script.front();
    script.pop_front();
    if (step.result == 0)
        last_error = step.error;
    return step.result;
}

void start(std::initializer_list<Step> steps) {
    script = steps;
    flags_seen.clear();
    reset_allocations();
}

} // namespace

int MultiByteToWideChar(UINT, DWORD flags, LPCCH, int, LPWSTR units, int room) noexcept {
    const int result = next_step(flags);
    for (int i = 0; units != nullptr && i < result && i < room; ++i)
        units[i] = u'A';
    return result;
}

int WideCharToMultiByte(UINT, DWORD flags, LPCWCH, int, LPSTR bytes, int room, LPCCH,
                        LPBOOL) noexcept {
    const int result = next_step(flags);
    // The caller's length counts the terminator, so the result ends with it.
    for (int i = 0; bytes != nullptr && i < result && i < room; ++i)
        bytes[i] = i + 1 < result ? 'a' : '\0';
    return result;
}

DWORD GetLastError() noexcept {
    return last_error;
}

void SetLastError(DWORD error) noexcept {
    last_error = error;
}

int lstrlenA(LPCSTR text) noexcept {
    return text == nullptr ? 0 : static_cast<int>(std::strlen(text));
}

UINT GetACP() noexcept {
    return 1252;
}

namespace {

TEST(RefusedFlags, LocalToUtf8RetriesEachCallOnceWithoutFlags) {
    start({{0, ERROR_INVALID_FLAGS}, {3}, {0, ERROR_INVALID_FLAGS}, {3}});
    char *out = nullptr;
    ASSERT_EQ(local_to_utf8("xyz", &out), 0);
    EXPECT_STREQ(out, "AAA");
    std::free(out);
    EXPECT_EQ(flags_seen, (std::vector<DWORD>{MB_PRECOMPOSED, 0, MB_PRECOMPOSED, 0}));
}

TEST(RefusedFlags, Utf8ToLocalRetriesEachCallOnceWithoutFlags) {
    start({{0, ERROR_INVALID_FLAGS}, {4}, {0, ERROR_INVALID_FLAGS}, {4}});
    char *out = nullptr;
    ASSERT_EQ(utf8_to_local("xyz", &out), 0);
    EXPECT_STREQ(out, "aaa");
    std::free(out);
    EXPECT_EQ(flags_seen, (std::vector<DWORD>{WC_COMPOSITECHECK, 0, WC_COMPOSITECHECK, 0}));
}

TEST(RefusedFlags, OtherErrorsAreNotRetried) {
    start({{0, ERROR_INVALID_PARAMETER}});
    char sentinel = 0;
    char *out = &sentinel;
    EXPECT_EQ(local_to_utf8("xyz", &out), -1);
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(flags_seen.size(), 1u);
}

TEST(PlatformFailure, LocalToUtf8ConversionDisagreeingWithItsCountFails) {
    start({{3}, {2}});
    char sentinel = 0;
    char *out = &sentinel;
    EXPECT_EQ(local_to_utf8("xyz", &out), -1);
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(live_allocations(), 0u);
}

TEST(PlatformFailure, Utf8ToLocalCountingFailureIsReported) {
    start({{0, ERROR_NO_UNICODE_TRANSLATION}});
    char sentinel = 0;
    char *out = &sentinel;
    testing::internal::CaptureStderr();
    EXPECT_EQ(utf8_to_local("xyz", &out), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unicode translation error 1113\n");
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(live_allocations(), 0u);
}

// The error number is written by hand, digit by digit. Its minus sign, for a
// DWORD above 0x7FFFFFFF where long has 32 bits, is out of reach: this program
// defines the code-page calls itself, so it is built for Linux only, where
// long has 64 bits.
TEST(PlatformFailure, Utf8ToLocalReportsAnyErrorNumber) {
    const std::pair<DWORD, std::string> cases[] = {
        {0, "0"}, {10, "10"}, {0x7FFFFFFF, "2147483647"}};
    for (const auto &[error, digits] : cases) {
        start({{0, error}});
        char *out = nullptr;
        testing::internal::CaptureStderr();
        EXPECT_EQ(utf8_to_local("xyz", &out), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Unicode translation error " + digits + "\n");
    }
}

TEST(PlatformFailure, Utf8ToLocalConversionDisagreeingWithItsCountIsReported) {
    start({{4}, {0, ERROR_INSUFFICIENT_BUFFER}});
    char sentinel = 0;
    char *out = &sentinel;
    testing::internal::CaptureStderr();
    EXPECT_EQ(utf8_to_local("xyz", &out), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unicode translation error 122\n");
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(live_allocations(), 0u);
    EXPECT_EQ(stray_releases(), 0);
}

} // namespace
