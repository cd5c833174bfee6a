# Tests that run Windows binaries under Wine: module tests against the real Win32 calls, and
# end-to-end tests that drive the real kestel.exe.
find_program(KESTEL_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
find_program(KESTEL_WINE64 NAMES wine64 wine)
find_program(KESTEL_WINESERVER NAMES wineserver PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
find_program(KESTEL_WINESERVER NAMES wineserver)
if(NOT KESTEL_WINE64 OR NOT KESTEL_WINESERVER)
  message(FATAL_ERROR "wine64 and wineserver are needed to run the tests (Debian: apt-get install wine64), "
                      "or configure with -DBUILD_TESTING=OFF")
endif()
set(KESTEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "The Wine prefix the tests run in")
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Test programs of the suite's own that kestel.exe starts, maps through or is driven by.
add_executable(recordargs WIN32 tests/tools/recordargs.cpp)
target_link_options(recordargs PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(recordargs)

add_executable(fetchurl tests/tools/fetchurl.cpp)
target_link_libraries(fetchurl PRIVATE wininet)
target_link_options(fetchurl PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(fetchurl)

add_executable(winekeeper WIN32 tests/tools/winekeeper.cpp)
target_link_options(winekeeper PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(winekeeper)

add_library(mpr_standin SHARED tests/tools/mpr_standin.cpp tests/tools/mpr_standin.def)
set_target_properties(mpr_standin PROPERTIES OUTPUT_NAME mpr PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin)
target_link_options(mpr_standin PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(mpr_standin)

add_library(wininet_standin SHARED tests/tools/wininet_standin.cpp tests/tools/wininet_standin.def)
set_target_properties(wininet_standin PROPERTIES OUTPUT_NAME wininet PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin)
target_link_options(wininet_standin PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(wininet_standin)

file(GLOB KESTEL_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/driver/*.cpp)
list(FILTER KESTEL_DRIVER_SOURCES EXCLUDE REGEX "driver_main\\.cpp$")
add_library(kestel_driver STATIC ${KESTEL_DRIVER_SOURCES})
target_include_directories(kestel_driver PUBLIC ${CMAKE_SOURCE_DIR}/tests/driver)
target_link_libraries(kestel_driver PUBLIC user32 gdi32 psapi advapi32)
target_compile_definitions(kestel_driver PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0601)
kestel_warnings(kestel_driver)

add_executable(driver tests/driver/driver_main.cpp)
target_link_libraries(driver PRIVATE kestel_driver)
target_link_options(driver PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(driver)

# Module tests: the Win32 modules against the real calls of the Wine prefix.
file(GLOB KESTEL_WINE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
# The module tests move the laptop's network as the end-to-end tests do.
add_executable(kestel_wine_tests ${KESTEL_WINE_SOURCES} ${CMAKE_SOURCE_DIR}/tests/e2e/NetworkMoves.cpp)
target_link_libraries(kestel_wine_tests PRIVATE kestel_win32 kestel_driver GTest::gtest_main)
target_link_options(kestel_wine_tests PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(kestel_wine_tests)
add_dependencies(kestel_wine_tests recordargs kestel)
# Suites named *Child are not tests of their own: tests start them in a child process.
# Three things of the one user session are shared, so the tests that use them take turns:
# - suites named UserProfile* change the user's own settings, as every run of kestel.exe does;
# - the suites that show windows and boxes share the one desktop with kestel.exe: a window that comes
#   up in another test takes the foreground, and with it the keyboard focus these tests look at;
# - the suites that move the laptop's network (tests/e2e/NetworkMoves.h) are seen by every program of
#   the prefix: a Kestel that follows the network in another test would take their moves for its own.
set(KESTEL_DESKTOP_SUITES "Driver*:UncaughtError/*:DriveOperations.*")
set(KESTEL_MOVING_SUITES "NetworkFingerprinter.*")
gtest_discover_tests(kestel_wine_tests TEST_PREFIX "wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "-UserProfile*:*Child.*:${KESTEL_DESKTOP_SUITES}:${KESTEL_MOVING_SUITES}" TEST_LIST kestel_wine_tests_own
  PROPERTIES ENVIRONMENT "KESTEL_TOOLS=${CMAKE_BINARY_DIR}" TIMEOUT 120)
gtest_discover_tests(kestel_wine_tests TEST_PREFIX "wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "UserProfile*" TEST_LIST kestel_wine_tests_profile
  PROPERTIES ENVIRONMENT "KESTEL_TOOLS=${CMAKE_BINARY_DIR}" TIMEOUT 120 RESOURCE_LOCK kestel_user_session)
gtest_discover_tests(kestel_wine_tests TEST_PREFIX "wine." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "${KESTEL_DESKTOP_SUITES}:${KESTEL_MOVING_SUITES}" TEST_LIST kestel_wine_tests_desktop
  PROPERTIES ENVIRONMENT "KESTEL_TOOLS=${CMAKE_BINARY_DIR}" TIMEOUT 120 RESOURCE_LOCK kestel_user_session)

# End-to-end tests: the real kestel.exe in a folder of each test's own.
file(GLOB KESTEL_E2E_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
add_executable(kestel_e2e_tests ${KESTEL_E2E_SOURCES})
target_link_libraries(kestel_e2e_tests PRIVATE kestel_driver GTest::gtest_main ws2_32)
target_link_options(kestel_e2e_tests PRIVATE ${KESTEL_STATIC_LINK})
kestel_warnings(kestel_e2e_tests)
add_dependencies(kestel_e2e_tests kestel kestel-check recordargs fetchurl mpr_standin wininet_standin driver)
target_compile_definitions(kestel_e2e_tests PRIVATE KESTEL_SAMPLE_INI="${CMAKE_SOURCE_DIR}/docs/kestel.ini.sample")
gtest_discover_tests(kestel_e2e_tests TEST_PREFIX "e2e." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "-RunRecordEventLog.*:InternetSettingsProxy/*:DisplayScale/*" TEST_LIST kestel_e2e_tests_own
  PROPERTIES ENVIRONMENT "KESTEL_TOOLS=${CMAKE_BINARY_DIR}" TIMEOUT 180 RESOURCE_LOCK kestel_user_session)
# The display scale rows set the prefix's resolution, which every program of the prefix that starts
# meanwhile would see (module tests, Wine's own services): they run with nothing beside them, and put
# the resolution back as each row ends.
gtest_discover_tests(kestel_e2e_tests TEST_PREFIX "e2e." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "DisplayScale/*" TEST_LIST kestel_e2e_tests_dpi
  PROPERTIES ENVIRONMENT "KESTEL_TOOLS=${CMAKE_BINARY_DIR}" TIMEOUT 180 RUN_SERIAL TRUE)
# Wine prints what a program reports to the event log on the standard error of the process that
# started it: this suite's goes to a file the test reads (the build's tools are beside the test).
gtest_discover_tests(kestel_e2e_tests TEST_PREFIX "e2e." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "RunRecordEventLog.*" TEST_LIST kestel_e2e_tests_stderr
  PROPERTIES ENVIRONMENT "KESTEL_WINE_STDERR=${CMAKE_BINARY_DIR}/e2e-stderr.txt" TIMEOUT 180
             RESOURCE_LOCK kestel_user_session)
# Wine's own wininet for kestel.exe and the fetch started after it, so that the fetch shows which proxy
# is in force (cmake/wine-run.sh.in): Wine takes a program's DLL load order from the environment it
# inherits, not from the block given to CreateProcess.
gtest_discover_tests(kestel_e2e_tests TEST_PREFIX "e2e." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
  TEST_FILTER "InternetSettingsProxy/*" TEST_LIST kestel_e2e_tests_builtin_wininet
  PROPERTIES ENVIRONMENT "KESTEL_WININET=b" TIMEOUT 180 RESOURCE_LOCK kestel_user_session)
# The encoding table once more under a second ANSI code page (1251), and under UTF-8 as the ANSI code
# page (65001, which an older kestel.ini in 1252 is not valid in): Wine takes a program's code page
# from the Unix locale it starts in (cmake/wine-run.sh.in picks it for KESTEL_CODE_PAGE), and every
# program the test starts inherits it. The test checks that the code page is the one asked for, so a
# missing locale cannot pass for it. One variable only: the property's semicolons would split it.
foreach(code_page 1251 65001)
  gtest_discover_tests(kestel_e2e_tests TEST_PREFIX "e2e-cp${code_page}." DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120 TEST_FILTER "Encodings/*" TEST_LIST kestel_e2e_tests_cp${code_page}
    PROPERTIES ENVIRONMENT "KESTEL_CODE_PAGE=${code_page}" TIMEOUT 180 RESOURCE_LOCK kestel_user_session)
endforeach()
