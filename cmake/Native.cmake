# Host build: platform-free unit tests and fuzz targets, under AddressSanitizer and UBSan.
set(KESTEL_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# Coverage for the fuzz targets too, so they explore the product code rather than only their own.
target_compile_options(kestel_core PRIVATE ${KESTEL_SANITIZE} -fsanitize=fuzzer-no-link)
target_compile_options(kestel_check PRIVATE ${KESTEL_SANITIZE} -fsanitize=fuzzer-no-link)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE ${KESTEL_SANITIZE})
target_compile_options(gtest_main PRIVATE ${KESTEL_SANITIZE})

include(GoogleTest)
file(GLOB KESTEL_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(kestel_unit_tests ${KESTEL_UNIT_SOURCES})
target_link_libraries(kestel_unit_tests PRIVATE kestel_core GTest::gtest_main)
target_compile_options(kestel_unit_tests PRIVATE ${KESTEL_SANITIZE})
target_link_options(kestel_unit_tests PRIVATE ${KESTEL_SANITIZE})
kestel_warnings(kestel_unit_tests)
target_compile_definitions(kestel_unit_tests PRIVATE KESTEL_LOGON_PICTURE_BMP="${CMAKE_SOURCE_DIR}/ui/LogonPicture.bmp")
gtest_discover_tests(kestel_unit_tests TEST_PREFIX "unit." DISCOVERY_MODE PRE_TEST)

# Fuzz targets: tests/fuzz/<name>.cpp, seeded from tests/fuzz/corpus/<name>/. CI runs each for a bounded time.
set(KESTEL_FUZZ_SECONDS 20 CACHE STRING "How long CI runs each fuzz target")
file(GLOB KESTEL_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
foreach(src IN LISTS KESTEL_FUZZ_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(fuzz_${name} ${src})
  target_link_libraries(fuzz_${name} PRIVATE kestel_core kestel_check)
  target_compile_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  kestel_warnings(fuzz_${name})
  set(corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
  set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:fuzz_${name}> -max_total_time=${KESTEL_FUZZ_SECONDS} -timeout=5 -print_final_stats=0 ${work} ${corpus})
  file(MAKE_DIRECTORY ${work})
endforeach()

# A home server of the suite's own that answers echo requests late: scripts/test-hosts.sh runs it in
# a test host's network namespace.
add_executable(echo_responder tests/tools/echo_responder.cpp)
kestel_warnings(echo_responder)

# Every folder includes only from those on a lower floor; a quick look over the sources, no build needed.
add_test(NAME build.LayersIncludeOnlyFromBelow
         COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-layers.sh ${CMAKE_SOURCE_DIR})
