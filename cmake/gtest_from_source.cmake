# SPDX-License-Identifier: GPL-2.0-or-later
# GoogleTest for a cross build: Debian's libgtest-dev is built for Linux only, so
# the test programs get GoogleTest built from Debian's sources (package googletest).
set(VELM_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${VELM_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${VELM_GOOGLETEST_SOURCE_DIR}: "
    "install Debian's googletest or set VELM_GOOGLETEST_SOURCE_DIR")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Windows threads only: the win32 thread model has no POSIX thread library.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${VELM_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(CheckCXXSourceCompiles)
check_cxx_source_compiles("#include <mutex>\nstd::mutex m;\nint main() { return 0; }"
  VELM_HAVE_STD_MUTEX)
if(NOT VELM_HAVE_STD_MUTEX AND WIN32)
  target_compile_options(gtest PUBLIC
    "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/gtest_win32_notification.h")
endif()
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
