# Where `cmake --install` puts the module, and the packages CPack makes.
#   Linux: <prefix>/lib/xchat/plugins, or with VELM_INSTALL_USER_PLUGIN=ON the
#   host's per-user plug-in folder (VELM_USER_PLUGIN_DIR, ~/.xchat2 unless set),
#   whose every *.so the host loads at start.
#   Windows: velm_xchat.dll and the text for users, velm_xchat.txt, at the top
#   of the package; CPack makes one zip per architecture.
option(VELM_INSTALL_USER_PLUGIN "Install the module into the host's per-user plug-in folder" OFF)
set(VELM_USER_PLUGIN_DIR "$ENV{HOME}/.xchat2" CACHE PATH
  "The host's per-user plug-in folder, used with VELM_INSTALL_USER_PLUGIN")

if(WIN32)
  # Windows users read text files with CRLF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/velm_xchat.txt
    ${CMAKE_BINARY_DIR}/packaging/velm_xchat.txt @ONLY NEWLINE_STYLE CRLF)
  # A module library is installed as LIBRARY, also where it is a DLL.
  install(TARGETS velm_xchat LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/velm_xchat.txt DESTINATION .)
elseif(VELM_INSTALL_USER_PLUGIN)
  install(TARGETS velm_xchat LIBRARY DESTINATION ${VELM_USER_PLUGIN_DIR})
else()
  install(TARGETS velm_xchat LIBRARY DESTINATION lib/xchat/plugins)
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
