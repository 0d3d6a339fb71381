// SPDX-License-Identifier: GPL-2.0-or-later
// GoogleTest 1.12 builds its Notification class on std::mutex and
// std::condition_variable, which GCC 12's win32 thread model does not provide.
// Forced into every compilation that uses GoogleTest in such a build, this
// header supplies the same class on a Win32 event, and GoogleTest then skips
// its own.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
  public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() {
        CloseHandle(event_);
    }
    Notification(const Notification &) = delete;
    Notification &operator=(const Notification &) = delete;

    void Notify() {
        SetEvent(event_);
    }
    void WaitForNotification() {
        WaitForSingleObject(event_, INFINITE);
    }

  private:
    HANDLE event_;
};

} // namespace testing::internal
