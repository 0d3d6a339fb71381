# SPDX-License-Identifier: GPL-2.0-or-later
# 64-bit Windows.
set(VELM_MINGW_TRIPLET x86_64-w64-mingw32)
set(VELM_MINGW_ARCH AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
