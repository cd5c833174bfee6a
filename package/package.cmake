# Builds kestel.msi from kestel.exe and kestel-check.exe with wixl, the same content every time from
# the same programs, version and time:
#   cmake -DVERSION=1.2.3 -DPROGRAMS=DIR -DOUTPUT=FILE [-DWIXL=wixl] [-DMSIBUILD=msibuild]
#         -P package/package.cmake
# PROGRAMS holds the two programs (signed or not). The files carry the time of the commit inside the
# package: the environment's SOURCE_DATE_EPOCH, or else the time of the source tree's last commit.
cmake_minimum_required(VERSION 3.25)
foreach(required VERSION PROGRAMS OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "package.cmake: ${required} is not given")
  endif()
endforeach()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CMAKE_CURRENT_LIST_DIR} log -1 --format=%ct OUTPUT_VARIABLE SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "package.cmake: no commit to take the time from: set SOURCE_DATE_EPOCH")
endif()
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  # Windows Installer compares three fields and ignores a fourth: two builds differing there only
  # would not upgrade each other.
  message(FATAL_ERROR "package.cmake: the version must have three fields, not '${VERSION}'")
endif()
if(NOT WIXL)
  set(WIXL wixl)
endif()
if(NOT MSIBUILD)
  set(MSIBUILD msibuild)
endif()
set(source ${CMAKE_CURRENT_LIST_DIR}/kestel.wxs)
set(upgrade_code A4B7D629-8C47-47CF-BD48-5CB853F60DCD)

# The files go into the cabinet with their modification time: give the copies the commit's.
get_filename_component(output ${OUTPUT} ABSOLUTE)
set(stage ${output}.files)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
set(inputs ${source})
foreach(program kestel.exe kestel-check.exe)
  file(COPY_FILE ${PROGRAMS}/${program} ${stage}/${program})
  execute_process(COMMAND touch -d @${SOURCE_DATE_EPOCH} ${stage}/${program} COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND inputs ${stage}/${program})
endforeach()

# One version is one product: its code follows from the version. The package code names this very
# content: Windows Installer takes two packages with one package code for the same package.
string(UUID product_code NAMESPACE ${upgrade_code} NAME ${VERSION} TYPE SHA1 UPPER)
set(content "${VERSION}")
foreach(input ${inputs})
  file(SHA256 ${input} hash)
  string(APPEND content " ${hash}")
endforeach()
string(UUID package_code NAMESPACE ${upgrade_code} NAME "${content}" TYPE SHA1 UPPER)

execute_process(COMMAND ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${product_code} -o ${output} ${source}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE result ERROR_VARIABLE errors)
# wixl warns about attributes it does not know and goes on: any warning means the package is not
# the one the source describes.
if(NOT result EQUAL 0 OR errors MATCHES "WARNING|CRITICAL")
  file(REMOVE ${output})
  message(FATAL_ERROR "package.cmake: wixl failed:\n${errors}")
endif()
execute_process(COMMAND ${MSIBUILD} ${output} -s Kestel Kestel "x64;1033" "{${package_code}}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
