# Flags every project target gets: strict warnings, sanitizers when asked, and
# for the Windows build a static, ASLR- and DEP-enabled 32-bit image.
add_library(ostrel_options INTERFACE)
target_compile_options(ostrel_options INTERFACE -Wall -Wextra -Wpedantic -Werror)

if(OSTREL_SANITIZE)
  target_compile_options(ostrel_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(ostrel_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  target_compile_definitions(ostrel_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_options(ostrel_options INTERFACE
    -static -static-libgcc -static-libstdc++
    -Wl,--dynamicbase -Wl,--nxcompat)
endif()

# GoogleTest: the system package natively; for Windows, built from Debian's sources.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
  add_library(GTest::gmock ALIAS gmock)
else()
  find_package(GTest REQUIRED)
endif()

# One CTest entry per test executable; each run leaves a JUnit-style report that
# scripts/test adds up.
function(ostrel_add_gtest target)
  add_test(NAME ${target} COMMAND ${target} --gtest_output=xml:${CMAKE_BINARY_DIR}/reports/${target}.xml)
endfunction()
