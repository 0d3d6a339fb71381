# Where `cmake --install` puts the modules, and the packages CPack makes.
#   Linux: <prefix>/lib/xchat/plugins and <prefix>/lib/hexchat/plugins, or with
#   VELM_INSTALL_USER_PLUGIN=ON each host's per-user plug-in folder, whose every
#   *.so the host loads at start: VELM_USER_PLUGIN_DIR (~/.xchat2 unless set)
#   for velm_xchat.so, VELM_HEXCHAT_USER_PLUGIN_DIR (~/.config/hexchat/addons,
#   or under XDG_CONFIG_HOME) for velm_hexchat.so.
#   Windows: velm_xchat.dll, velm_hexchat.dll and the text for users,
#   velm_xchat.txt, at the top of the package; CPack makes one zip per
#   architecture.
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
  # A module library is installed as LIBRARY, also where it is a DLL.
  install(TARGETS velm_xchat velm_hexchat LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/velm_xchat.txt DESTINATION .)
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
include(CPack)
