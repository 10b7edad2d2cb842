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

# One CTest entry per test executable; each run leaves a JUnit-style report that
# scripts/test adds up. Under Wine a Unix path must name drive Z: explicitly.
if(WIN32)
  set(OSTREL_REPORT_DIR "Z:${CMAKE_BINARY_DIR}/reports")
else()
  set(OSTREL_REPORT_DIR "${CMAKE_BINARY_DIR}/reports")
endif()
# Wine names Unix files in the encoding of the locale: only a UTF-8 locale keeps
# every Windows name.
function(ostrel_add_gtest target)
  add_test(NAME ${target} COMMAND ${target} --gtest_output=xml:${OSTREL_REPORT_DIR}/${target}.xml
           ${ARGN})
  if(WIN32)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "LANG=C.UTF-8;LC_ALL=C.UTF-8")
  endif()
endfunction()
