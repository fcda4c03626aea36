# What is installed, and the packages CPack makes of it.
#
# Windows: homestead_robbery-<version>-windows-x64.zip holds what a player
# copies (the plug-in DLL), a player's guide and the licence.
# Linux: homestead_robbery-<version>-linux-x64.tar.gz holds the plug-in, the
# simulator and the host demo with the platform library they load, in one
# folder and relocatable: the programs find the library through $ORIGIN.
configure_file(${PROJECT_SOURCE_DIR}/packaging/PLAYERS.txt ${CMAKE_BINARY_DIR}/PLAYERS.txt @ONLY)

if(WIN32)
  install(TARGETS homestead_robbery RUNTIME DESTINATION .)
  install(FILES ${CMAKE_BINARY_DIR}/PLAYERS.txt DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME homestead_robbery-${PROJECT_VERSION}-windows-x64)
else()
  set_target_properties(homestead-sim homestead-host-demo PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS homestead_robbery homestead_host homestead-sim homestead-host-demo
          LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
                ${PROJECT_SOURCE_DIR}/sim/scenario/SCENARIOS.md DESTINATION .)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME homestead_robbery-${PROJECT_VERSION}-linux-x64)
endif()

set(CPACK_PACKAGE_NAME homestead_robbery)
set(CPACK_PACKAGE_VENDOR "The homestead robbery developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Robbable homesteads: a script plug-in and its tools")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
