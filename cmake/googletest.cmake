# GoogleTest: the installed package where it fits the build (Debian's libgtest-dev
# on Linux); otherwise, as in a cross build for Windows, built from its sources.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest QUIET)
endif()
if(NOT TARGET GTest::gtest)
  set(VELM_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built when no installed GoogleTest fits the build")
  if(NOT EXISTS ${VELM_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest not found: install it, or set VELM_GOOGLETEST_SOURCE_DIR "
      "to its sources (Debian: package googletest, /usr/src/googletest)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Windows threads only: the module's toolchain has no POSIX thread library.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${VELM_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(CheckCXXSourceCompiles)
  check_cxx_source_compiles("#include <mutex>\nstd::mutex m;\nint main() { return 0; }"
    VELM_HAVE_STD_MUTEX)
  if(NOT VELM_HAVE_STD_MUTEX AND WIN32)
    target_compile_options(gtest PUBLIC
      "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/gtest_win32_notification.h")
  endif()
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
