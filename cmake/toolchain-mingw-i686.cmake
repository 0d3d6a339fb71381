# SPDX-License-Identifier: GPL-2.0-or-later
# 32-bit Windows, the architecture of XChat 2.x.
set(VELM_MINGW_TRIPLET i686-w64-mingw32)
set(VELM_MINGW_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
