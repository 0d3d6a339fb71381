# SPDX-License-Identifier: GPL-2.0-or-later
# Where `cmake --install` puts the modules, and the packages CPack makes.
#   Linux: <prefix>/lib/xchat/plugins and <prefix>/lib/hexchat/plugins, or with
#   VELM_INSTALL_USER_PLUGIN=ON each host's per-user plug-in folder, whose every
#   *.so the host loads at start: VELM_USER_PLUGIN_DIR (~/.xchat2 unless set)
#   for velm_xchat.so, VELM_HEXCHAT_USER_PLUGIN_DIR (~/.config/hexchat/addons,
#   or under XDG_CONFIG_HOME) for velm_hexchat.so.
#   Debian (VELM_DEBIAN_PACKAGE=ON, the deb preset): the package velm-xchat,
#   described below.
#   Windows: velm_xchat.dll, velm_hexchat.dll, the text for users,
#   velm_xchat.txt, the licence notice LICENSE.txt and the GPL's text
#   COPYING.txt at the top of the package; CPack makes one zip per
#   architecture.
option(VELM_DEBIAN_PACKAGE "Install as the Debian package velm-xchat, which CPack then makes" OFF)
option(VELM_INSTALL_USER_PLUGIN "Install the modules into the hosts' per-user plug-in folders" OFF)
set(VELM_USER_PLUGIN_DIR "$ENV{HOME}/.xchat2" CACHE PATH
  "XChat's per-user plug-in folder, used with VELM_INSTALL_USER_PLUGIN")
set(hexchat_config_dir "$ENV{HOME}/.config")
if(DEFINED ENV{XDG_CONFIG_HOME} AND NOT "$ENV{XDG_CONFIG_HOME}" STREQUAL "")
  set(hexchat_config_dir "$ENV{XDG_CONFIG_HOME}")
endif()
set(VELM_HEXCHAT_USER_PLUGIN_DIR "${hexchat_config_dir}/hexchat/addons" CACHE PATH
  "HexChat's per-user plug-in folder, used with VELM_INSTALL_USER_PLUGIN")

if(WIN32)
  # Windows users read text files with CRLF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/velm_xchat.txt
    ${CMAKE_BINARY_DIR}/packaging/velm_xchat.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt
    @ONLY NEWLINE_STYLE CRLF)
  # A module library is installed as LIBRARY, also where it is a DLL.
  install(TARGETS velm_xchat velm_hexchat LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/velm_xchat.txt
    ${CMAKE_BINARY_DIR}/packaging/LICENSE.txt DESTINATION .)
  # The GPL's text, which the repository does not hold, is taken from Debian's
  # copy when the package is made, into COPYING.txt beside the modules.
  set(VELM_GPL_TEXT /usr/share/common-licenses/GPL-2 CACHE FILEPATH
    "The GNU GPL version 2 text that the Windows packages carry as COPYING.txt")
  set(copying ${CMAKE_BINARY_DIR}/packaging/COPYING.txt)
  install(CODE "set(gpl_text [[${VELM_GPL_TEXT}]])\nset(copying [[${copying}]])")
  install(CODE [[
    if(NOT EXISTS "${gpl_text}")
      message(FATAL_ERROR "The package must carry the GNU GPL version 2 as COPYING.txt, and "
        "${gpl_text} is missing: install Debian's base-files, or set VELM_GPL_TEXT to "
        "the licence's text")
    endif()
    file(READ "${gpl_text}" text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE "${copying}" "${text}")
  ]])
  install(FILES ${copying} DESTINATION .)
elseif(VELM_DEBIAN_PACKAGE)
  # HexChat loads every module in its system-wide plug-in folder at start (the
  # folder is built into Debian's hexchat; its own plug-ins are there too).
  # The client library goes to a folder of the package's own, where the module
  # finds it through its RUNPATH and no other program's loader can: a library
  # named libvc.so must not sit in the loader's global path. XChat is not in
  # Debian, so its module is not packaged.
  if(NOT TARGET vc_mpris)
    message(FATAL_ERROR "The Debian package needs the MPRIS client library (libglib2.0-dev)")
  endif()
  set(multiarch_dir lib/${CMAKE_LIBRARY_ARCHITECTURE})
  set(private_dir ${CMAKE_INSTALL_PREFIX}/${multiarch_dir}/velm-xchat)
  set(doc_dir share/doc/velm-xchat)
  # velm_xchat.so is built the same way for XChat users, who copy it themselves.
  set_target_properties(velm_xchat velm_hexchat PROPERTIES INSTALL_RPATH ${private_dir})
  install(TARGETS velm_hexchat LIBRARY DESTINATION ${multiarch_dir}/hexchat/plugins)
  install(TARGETS vc_mpris LIBRARY DESTINATION ${multiarch_dir}/velm-xchat)
  # Debian keeps a native package's changelog compressed, without a time stamp.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
    OUTPUT_FILE ${CMAKE_BINARY_DIR}/packaging/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/readme-linux.txt
    ${CMAKE_BINARY_DIR}/packaging/readme.txt @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/readme.txt
    ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${doc_dir})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/mpris.conf DESTINATION ${doc_dir}/examples)
elseif(VELM_INSTALL_USER_PLUGIN)
  install(TARGETS velm_xchat LIBRARY DESTINATION ${VELM_USER_PLUGIN_DIR})
  install(TARGETS velm_hexchat LIBRARY DESTINATION ${VELM_HEXCHAT_USER_PLUGIN_DIR})
else()
  install(TARGETS velm_xchat LIBRARY DESTINATION lib/xchat/plugins)
  install(TARGETS velm_hexchat LIBRARY DESTINATION lib/hexchat/plugins)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velm_xchat)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/build/packages)
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME windows-x86_64)
  else()
    set(CPACK_SYSTEM_NAME windows-i686)
  endif()
endif()
if(VELM_DEBIAN_PACKAGE)
  set(CPACK_GENERATOR DEB)
  # Debian's package names take no underscore.
  set(CPACK_PACKAGE_NAME velm-xchat)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(CPACK_PACKAGE_CONTACT "velm_xchat developers <velm-xchat@users.noreply.example.org>")
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HexChat plug-in announcing the song your player plays")
  # CPack puts the summary first and indents the lines below it.
  set(CPACK_PACKAGE_DESCRIPTION "Gives HexChat two commands: /np announces the song now playing in the
current channel or query, and /vc passes a command to the player (next,
pause, volume...). It talks to any player that offers MPRIS on the session
bus: VLC, Rhythmbox, Audacious, mpv with mpv-mpris, and others.")
  # The dependencies are read from the files; libvc.so is the package's own.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  get_target_property(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS vc_mpris LIBRARY_OUTPUT_DIRECTORY)
  set(CPACK_DEBIAN_PACKAGE_ENHANCES hexchat)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS mpv-mpris)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
