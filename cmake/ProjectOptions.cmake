# Flags every project target gets: strict warnings, sanitizers when asked, and
# for the Windows build a static, ASLR- and DEP-enabled 32-bit image that does
# not record the folder it was built in.
add_library(ostrel_options INTERFACE)
target_compile_options(ostrel_options INTERFACE -Wall -Wextra -Wpedantic -Werror)

if(OSTREL_SANITIZE)
  target_compile_options(ostrel_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(ostrel_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  target_compile_definitions(ostrel_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # The release programs must not depend on where the tree was built: paths
  # that reach them through __FILE__ or debug information are made relative.
  target_compile_options(ostrel_options INTERFACE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
  # Small programs over fast ones: their speed is the adapter's, and the
  # core's own speed is measured natively.
  target_compile_options(ostrel_options INTERFACE -Os)
  target_link_options(ostrel_options INTERFACE
    -static -static-libgcc -static-libstdc++
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--gc-sections)
endif()

# GoogleTest: the system package natively; for Windows, built from Debian's sources.
if(WIN32)
  # Its own build defines the GTest:: targets.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()

# CTest entries over test executables; each run leaves a JUnit-style report,
# named after its entry, that scripts/test adds up. Under Wine the reports go
# to the prefix's own drive C:, so that the 32-bit and the 64-bit prefix can
# run at once, each keeping its own.
if(WIN32)
  set(OSTREL_REPORT_DIR "C:/ostrel-reports")
else()
  set(OSTREL_REPORT_DIR "${CMAKE_BINARY_DIR}/reports")
endif()
# ostrel_add_gtest(target [NAME entry] [FILTER gtest-filter] [LOCKS resource...]
#                  [LABELS label...] [WORKING_DIRECTORY dir])
# Entries run in parallel unless they share one of their LOCKS: "desktop" for
# an entry that shows windows, "adapter" for one that takes the computer-wide
# adapter lock, "system_folder" for one that changes the system folder.
# Wine names Unix files in the encoding of the locale: only a UTF-8 locale keeps
# every Windows name.
function(ostrel_add_gtest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "NAME;FILTER;WORKING_DIRECTORY" "LOCKS;LABELS")
  if(NOT arg_NAME)
    set(arg_NAME ${target})
  endif()
  set(command ${target} --gtest_output=xml:${OSTREL_REPORT_DIR}/${arg_NAME}.xml)
  if(arg_FILTER)
    list(APPEND command "--gtest_filter=${arg_FILTER}")
  endif()
  if(arg_WORKING_DIRECTORY)
    add_test(NAME ${arg_NAME} COMMAND ${command} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  else()
    add_test(NAME ${arg_NAME} COMMAND ${command})
  endif()
  if(arg_LOCKS)
    set_tests_properties(${arg_NAME} PROPERTIES RESOURCE_LOCK "${arg_LOCKS}")
  endif()
  if(arg_LABELS)
    set_tests_properties(${arg_NAME} PROPERTIES LABELS "${arg_LABELS}")
  endif()
  if(WIN32)
    set_tests_properties(${arg_NAME} PROPERTIES ENVIRONMENT "LANG=C.UTF-8;LC_ALL=C.UTF-8")
  endif()
endfunction()
