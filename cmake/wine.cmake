# Running the Windows build's programs and tests under Wine.
#
# Every program runs through wine-run.sh (the targets' CROSSCOMPILING_EMULATOR)
# with one Wine prefix inside the build tree. The prefix is made by the build
# itself, because CTest lists the tests of each program by running it before
# any test fixture could make one. A fixture keeps one Wine server alive for
# the whole test run, so that each test process starts in a fraction of a
# second instead of starting a server of its own.
find_program(HOMESTEAD_WINE wine REQUIRED)
find_program(HOMESTEAD_WINESERVER NAMES wineserver wineserver64
             PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine REQUIRED)

set(HOMESTEAD_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

add_custom_command(
  OUTPUT ${HOMESTEAD_WINEPREFIX}/system.reg
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${HOMESTEAD_WINEPREFIX} WINEDEBUG=-all
          ${HOMESTEAD_WINE} wineboot --init > /dev/null 2>&1 < /dev/null
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${HOMESTEAD_WINEPREFIX}
          ${HOMESTEAD_WINESERVER} -w
  COMMENT "Making the Wine prefix for the Windows tests"
  VERBATIM)
add_custom_target(wine_prefix ALL DEPENDS ${HOMESTEAD_WINEPREFIX}/system.reg)

if(HOMESTEAD_BUILD_TESTS)
  # The server is started detached from the test's output, for the reason
  # given in wine-run.sh. One left running from an earlier run would refuse
  # to be started again, so it is stopped first.
  add_test(NAME wine.server_start
           COMMAND sh -c "'${HOMESTEAD_WINESERVER}' -k >/dev/null 2>&1;
                          '${HOMESTEAD_WINESERVER}' -p >/dev/null 2>&1 </dev/null")
  add_test(NAME wine.server_stop
           COMMAND sh -c "'${HOMESTEAD_WINESERVER}' -k >/dev/null 2>&1 </dev/null; exit 0")
  set_tests_properties(wine.server_start wine.server_stop PROPERTIES
    ENVIRONMENT WINEPREFIX=${HOMESTEAD_WINEPREFIX})
  set_tests_properties(wine.server_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.server_stop PROPERTIES FIXTURES_CLEANUP wine)
  # Properties that every other test of this build carries.
  set(HOMESTEAD_TEST_PROPERTIES FIXTURES_REQUIRED wine)
endif()
