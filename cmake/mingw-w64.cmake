# SPDX-License-Identifier: GPL-2.0-or-later
# Cross-building for Windows with Debian's mingw-w64. Included by the
# per-architecture toolchain files, which set VELM_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VELM_MINGW_ARCH})

# The win32 thread model: with it the static C++ runtime needs no
# libwinpthread-1.dll next to the module.
find_program(CMAKE_C_COMPILER NAMES ${VELM_MINGW_TRIPLET}-gcc-win32 ${VELM_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VELM_MINGW_TRIPLET}-g++-win32 ${VELM_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VELM_MINGW_TRIPLET}-windres)
find_program(CMAKE_DLLTOOL NAMES ${VELM_MINGW_TRIPLET}-dlltool REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${VELM_MINGW_TRIPLET}-objdump REQUIRED)
find_program(CMAKE_STRIP NAMES ${VELM_MINGW_TRIPLET}-strip REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VELM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
