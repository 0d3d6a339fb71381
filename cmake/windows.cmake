# SPDX-License-Identifier: GPL-2.0-or-later
# What a Windows build adds: the client library's import library generated from
# include/vc.def, the module's export list and runtime, checks of the module file,
# and, when cross-building, running the programs under Wine.

if(MINGW)
  # Executables and libraries carry the GCC runtime inside them, so that nothing
  # beyond the system's DLLs has to sit next to them.
  add_link_options(-static-libgcc -static-libstdc++)
endif()

# vc.dll's import library, from our own export list: no vendor files needed.
set(VELM_VC_DEF ${PROJECT_SOURCE_DIR}/include/vc.def)
if(MSVC)
  set(VELM_VC_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/import/vc.lib)
  add_custom_command(OUTPUT ${VELM_VC_IMPORT_LIBRARY}
    COMMAND ${CMAKE_AR} /nologo /def:${VELM_VC_DEF}
            /machine:${CMAKE_CXX_COMPILER_ARCHITECTURE_ID} /out:${VELM_VC_IMPORT_LIBRARY}
    DEPENDS ${VELM_VC_DEF} VERBATIM)
else()
  find_program(CMAKE_DLLTOOL NAMES dlltool llvm-dlltool REQUIRED)
  set(VELM_VC_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/import/libvc.dll.a)
  add_custom_command(OUTPUT ${VELM_VC_IMPORT_LIBRARY}
    COMMAND ${CMAKE_DLLTOOL} -d ${VELM_VC_DEF} -D vc.dll -l ${VELM_VC_IMPORT_LIBRARY}
    DEPENDS ${VELM_VC_DEF} VERBATIM)
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/import)
add_custom_target(vc_import_library DEPENDS ${VELM_VC_IMPORT_LIBRARY})
add_library(vc_import INTERFACE)
target_link_libraries(vc_import INTERFACE ${VELM_VC_IMPORT_LIBRARY})
add_dependencies(vc_import vc_import_library)

# Running the build's programs: natively on Windows, under Wine when
# cross-building. Each build tree has a prefix of its own, created once by the
# first program run (under a lock, so that tests running in parallel wait for it).
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  # Each architecture runs under its own loader: Debian's /usr/bin/wine falls back
  # to the 64-bit loader when the 32-bit one is missing, which then fails to start
  # a 32-bit program and still exits 0. A loader that is missing here is kept by
  # its expected path, so that the runner reports the tests as skipped.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(wine_loader_name wine64)
    set(wine_program_kind 64-bit)
  else()
    set(wine_loader_name wine)
    set(wine_program_kind 32-bit)
  endif()
  find_program(VELM_WINE_LOADER NAMES ${wine_loader_name} PATHS /usr/lib/wine
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT VELM_WINE_LOADER)
    find_program(VELM_WINE_LOADER NAMES ${wine_loader_name} NO_CMAKE_FIND_ROOT_PATH)
  endif()
  set(wine_loader ${VELM_WINE_LOADER})
  if(NOT wine_loader)
    set(wine_loader /usr/lib/wine/${wine_loader_name})
    message(WARNING "The Wine loader ${wine_loader_name} was not found: the Windows programs "
      "are built, and the tests that run them are counted as skipped")
  endif()
  # The prefix is made by the 64-bit loader where there is one, and 32-bit
  # programs run in it through Wine's 32-bit loader: where 32-bit programs
  # run only under emulation, only the tests themselves are emulated.
  find_program(VELM_WINE_BOOT_LOADER NAMES wine64 wine PATHS /usr/lib/wine
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  set(wine_boot_loader ${VELM_WINE_BOOT_LOADER})
  if(NOT wine_boot_loader)
    set(wine_boot_loader ${wine_loader})
  endif()
  if(wine_boot_loader MATCHES "64$")
    set(VELM_WINE_ARCH win64)
  else()
    set(VELM_WINE_ARCH win32)
  endif()
  set(VELM_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

# The host header that the table offset test compares against: Debian's copy
# of the published header, taken into the build tree alone, so that no Linux
# include folder reaches the cross compiler.
if(CMAKE_CROSSCOMPILING AND NOT HEXCHAT_PLUGIN_HEADER)
  find_file(VELM_PUBLISHED_PLUGIN_HEADER hexchat-plugin.h PATHS /usr/include
    NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(VELM_PUBLISHED_PLUGIN_HEADER)
    file(COPY ${VELM_PUBLISHED_PLUGIN_HEADER} DESTINATION ${CMAKE_BINARY_DIR}/published-include)
    set(HEXCHAT_PLUGIN_HEADER ${CMAKE_BINARY_DIR}/published-include CACHE PATH
      "Folder holding the host's published plug-in header")
  endif()
endif()

# Every Windows build checks its module file, release builds included.
enable_testing()
set(VELM_WINDOWS_IMPORTS KERNEL32.dll msvcrt.dll vc.dll)
set(VELM_MODULE_SIZE_BUDGET 24576 CACHE STRING
  "Largest stripped size of a release module, in bytes")

# The module as Windows loads it: exactly the entry points of its .def file,
# linked against vc.dll, with no runtime DLL of the compiler's own.
function(velm_windows_module target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/plugin/${target}.def)
  target_link_libraries(${target} PRIVATE vc_import)
  if(MSVC)
    set_property(TARGET ${target} PROPERTY MSVC_RUNTIME_LIBRARY
      "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  endif()
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT MSVC)
    # The module throws nothing and calls only C code. With exceptions on, each
    # noexcept function may reach std::terminate, which drags the C++ runtime's
    # terminate handler and demangler into the file (about 100 KiB).
    target_compile_options(${target} PRIVATE -fno-exceptions)
  endif()
  if(MINGW)
    target_link_options(${target} PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
  endif()

  # Checks of the file itself, for every build that can read it.
  if(NOT CMAKE_OBJDUMP OR NOT MINGW)
    return()
  endif()
  set(check ${PROJECT_SOURCE_DIR}/tests/check_pe_module.cmake)
  set(args -DOBJDUMP=${CMAKE_OBJDUMP} -DMODULE=$<TARGET_FILE:${target}>)
  # velm_xchat exports xchat_plugin_init..., velm_hexchat hexchat_plugin_init...
  string(REGEX REPLACE "^velm_" "" host ${target})
  add_test(NAME module_exports_exactly_the_entry_points_${target}
    COMMAND ${CMAKE_COMMAND} ${args} -DCHECK=exports
            "-DEXPECTED=${host}_plugin_deinit;${host}_plugin_get_info;${host}_plugin_init"
            -P ${check})
  add_test(NAME module_imports_only_the_system_and_vc_${target}
    COMMAND ${CMAKE_COMMAND} ${args} -DCHECK=imports "-DEXPECTED=${VELM_WINDOWS_IMPORTS}"
            -P ${check})
  # The size users get is that of a release build; a debug build has no budget.
  if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
    add_test(NAME module_stripped_size_${target}
      COMMAND ${CMAKE_COMMAND} ${args} -DCHECK=size -DSTRIP=${CMAKE_STRIP}
              -DBUDGET=${VELM_MODULE_SIZE_BUDGET}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/module-size -P ${check})
  endif()
endfunction()

# Called at the end of each test folder. Where Wine cannot start programs of this
# architecture (no 32-bit loader, or a kernel without 32-bit support), the runner
# exits with 77 and says "wine-run: SKIPPED": the tests count as skipped, never
# as passed, whether they run a program directly or through a script.
set(VELM_SKIP_RETURN_CODE 77)
function(velm_windows_tests)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  get_property(tests DIRECTORY PROPERTY TESTS)
  if(tests)
    set_tests_properties(${tests} PROPERTIES SKIP_RETURN_CODE ${VELM_SKIP_RETURN_CODE}
      SKIP_REGULAR_EXPRESSION "wine-run: SKIPPED")
  endif()
endfunction()
