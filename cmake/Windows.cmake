# Cross build: the product kestel.exe, its Win32 modules, and the tests that run under Wine.
set(KESTEL_STATIC_LINK -static -static-libgcc -static-libstdc++)
# Administrators compare what they deploy with a build of the same commit: the linker leaves its time
# stamp out of the header, and no path of the build machine's source folder reaches the code.
set(KESTEL_REPRODUCIBLE_LINK -Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)

add_library(kestel_win32 STATIC
  settings/SettingsWin32.cpp
  settings/PolicyWin32.cpp
  base/CodePageWin32.cpp
  proxy/RegistryWin32.cpp
  app/ErrorBox.cpp
  record/RunRecordWin32.cpp
  run/Win32Host.cpp
  settings/DataProtectionWin32.cpp
  proxy/InternetSettingsWin32.cpp
  follow/FollowWin32.cpp
  env/EnvironWin32.cpp
  launch/AppDirectoryWin32.cpp
  launch/Launch.cpp
  net/NetworkFingerprintWin32.cpp
  net/PingUtil.cpp
  base/ErrorTextWin32.cpp
  net/uncmap.cpp
  net/NetworkChangeNotices.cpp
  ui/Application.cpp
  ui/DisplayScale.cpp
  ui/LogonWindow.cpp
  ui/NoticeBox.cpp
  ui/NotificationIcon.cpp
  ui/OffThread.cpp
  follow/ResidentWindow.cpp
)
target_compile_definitions(kestel_win32 PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0601)
target_link_libraries(kestel_win32 PUBLIC kestel_core wsock32 icmp mpr advapi32 user32 gdi32 msimg32)
kestel_warnings(kestel_win32)
target_compile_definitions(kestel_win32 PRIVATE KESTEL_VERSION="${PROJECT_VERSION}")
target_compile_options(kestel_win32 PRIVATE -ffunction-sections -fdata-sections)
target_compile_options(kestel_core PRIVATE -ffunction-sections -fdata-sections)
target_compile_definitions(kestel_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX STRICT _WIN32_WINNT=0x0601)

enable_language(RC)
# The event log's message table for the run's record, compiled from its message text file.
find_program(KESTEL_WINDMC NAMES ${KESTEL_TRIPLE}-windmc windmc REQUIRED)
set(KESTEL_MESSAGES ${CMAKE_BINARY_DIR}/messages)
add_custom_command(OUTPUT ${KESTEL_MESSAGES}/RunRecord.rc ${KESTEL_MESSAGES}/MSG00409.bin
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTEL_MESSAGES}
  COMMAND ${KESTEL_WINDMC} -h ${KESTEL_MESSAGES} -r ${KESTEL_MESSAGES} ${CMAKE_SOURCE_DIR}/record/RunRecord.mc
  DEPENDS ${CMAKE_SOURCE_DIR}/record/RunRecord.mc VERBATIM)
set_source_files_properties(${KESTEL_MESSAGES}/RunRecord.rc PROPERTIES
  OBJECT_DEPENDS ${KESTEL_MESSAGES}/MSG00409.bin COMPILE_OPTIONS "-I${KESTEL_MESSAGES}")
# The resource compiler names no dependencies: without these a changed manifest, icon or picture would
# leave the executable with the old one.
set_source_files_properties(ui/kestel.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/ui/kestel.manifest;${CMAKE_SOURCE_DIR}/ui/kestel.ico;${CMAKE_SOURCE_DIR}/ui/LogonPicture.bmp")
add_executable(kestel WIN32 app/WinMain.cpp ui/kestel.rc ${KESTEL_MESSAGES}/RunRecord.rc)
target_link_libraries(kestel PRIVATE kestel_win32)
# A logon tool is copied to every workstation: keep the executable small. Unused functions are
# dropped at link time and symbols stripped; the sections flags go on every product library.
target_link_options(kestel PRIVATE ${KESTEL_STATIC_LINK} -s -Wl,--gc-sections ${KESTEL_REPRODUCIBLE_LINK})
kestel_warnings(kestel)
set_target_properties(kestel PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# kestel-check.exe: the settings checker, a console program built the way kestel.exe is.
target_compile_options(kestel_check PRIVATE -ffunction-sections -fdata-sections)
add_executable(kestel-check check/CheckMain.cpp)
target_link_libraries(kestel-check PRIVATE kestel_check kestel_win32)
target_link_options(kestel-check PRIVATE -municode ${KESTEL_STATIC_LINK} -s -Wl,--gc-sections ${KESTEL_REPRODUCIBLE_LINK})
kestel_warnings(kestel-check)
set_target_properties(kestel-check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# kestel.msi, the per-user package of both programs (package/kestel.wxs). It is made again on every
# build: the files in it carry the time of the last commit, which no file dependency follows.
find_program(KESTEL_WIXL wixl REQUIRED)
find_program(KESTEL_MSIBUILD msibuild REQUIRED)
add_custom_target(kestel_msi ALL
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DPROGRAMS=${CMAKE_BINARY_DIR}
          -DOUTPUT=${CMAKE_BINARY_DIR}/kestel.msi -DWIXL=${KESTEL_WIXL} -DMSIBUILD=${KESTEL_MSIBUILD}
          -P ${CMAKE_SOURCE_DIR}/package/package.cmake
  BYPRODUCTS ${CMAKE_BINARY_DIR}/kestel.msi VERBATIM)
add_dependencies(kestel_msi kestel kestel-check)

# The administrative templates for Group Policy, kestel.admx and en-US/kestel.adml: the compiler writes
# them from the list of settings into an object of their own (settings/PolicyTemplates.cpp), and
# objcopy takes them out. The keys' names, kinds and defaults are C++ initialisers that no preprocessor
# template could take apart, and the cross build has no compiler for a program of the build machine.
add_library(kestel_policy_templates OBJECT settings/PolicyTemplates.cpp)
target_include_directories(kestel_policy_templates PRIVATE ${CMAKE_SOURCE_DIR})
kestel_warnings(kestel_policy_templates)
find_program(KESTEL_OBJCOPY NAMES ${KESTEL_TRIPLE}-objcopy REQUIRED)
set(KESTEL_ADMX ${CMAKE_BINARY_DIR}/kestel.admx)
set(KESTEL_ADML ${CMAKE_BINARY_DIR}/en-US/kestel.adml)
add_custom_command(OUTPUT ${KESTEL_ADMX} ${KESTEL_ADML}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/en-US
  COMMAND ${KESTEL_OBJCOPY} -O binary --only-section=.admx $<TARGET_OBJECTS:kestel_policy_templates> ${KESTEL_ADMX}
  COMMAND ${KESTEL_OBJCOPY} -O binary --only-section=.adml $<TARGET_OBJECTS:kestel_policy_templates> ${KESTEL_ADML}
  DEPENDS kestel_policy_templates $<TARGET_OBJECTS:kestel_policy_templates> VERBATIM)
add_custom_target(kestel_policy_template_files ALL DEPENDS ${KESTEL_ADMX} ${KESTEL_ADML})

if(BUILD_TESTING)
  include(cmake/WineTests.cmake)
  find_program(KESTEL_XMLLINT xmllint REQUIRED)
  add_test(NAME build.PolicyTemplatesAreWellFormed COMMAND ${KESTEL_XMLLINT} --noout ${KESTEL_ADMX} ${KESTEL_ADML})
  # Two builds of one commit, in different folders, must give the same kestel.exe byte for byte.
  add_test(NAME build.KestelExeIsReproducible
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/reproducible.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(build.KestelExeIsReproducible PROPERTIES TIMEOUT 900)
  add_test(NAME build.PackageFollowsPerUserRules
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/package-tables.sh ${CMAKE_BINARY_DIR}/kestel.msi ${PROJECT_VERSION})
  # kestel.msi through Wine's msiexec: it installs into the one user profile that kestel.exe's runs change.
  add_test(NAME e2e.PackageInstallUpgradeRemove COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/package-e2e.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e.PackageInstallUpgradeRemove PROPERTIES TIMEOUT 600 RESOURCE_LOCK kestel_user_session)
endif()
