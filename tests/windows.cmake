# The core's tests on Windows, included from CMakeLists.txt when building for
# it.  Cross-built with mingw-w64 (cmake/mingw-w64-x86_64.cmake) they run
# under Wine.  Parsing, the catalogue and composition use the same tests as on
# POSIX; the settings file and the process start have tests of their own,
# since the POSIX ones use fork, permission bits and /proc.

if(CMAKE_CROSSCOMPILING)
  # Debian's googletest package ships the sources; build them for the target.
  set(TESSARO_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
  set(BUILD_GMOCK OFF CACHE BOOL "Builds the googlemock subproject")
  set(INSTALL_GTEST OFF CACHE BOOL "Enable installation of googletest")
  add_subdirectory(${TESSARO_GTEST_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Stands in for qwsv.exe; the tests find it beside themselves.
add_executable(record_child support/windows/record_child.cpp)
if(MINGW)
  target_link_options(record_child PRIVATE -municode)  # its entry point is wmain
endif()
target_link_libraries(record_child PRIVATE tessaro_warnings)

add_library(tessaro_test_support_win STATIC support/windows/win_support.cpp support/windows/win_support.h)
target_include_directories(tessaro_test_support_win PUBLIC support/windows)
target_link_libraries(tessaro_test_support_win PUBLIC tessaro_core PRIVATE tessaro_warnings)
add_dependencies(tessaro_test_support_win record_child)

function(tessaro_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE tessaro_core tessaro_test_support_win tessaro_warnings GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
endfunction()

tessaro_add_test(settings_tests
  settings/parse_test.cpp
  settings/settings_file_win_test.cpp
)
tessaro_add_test(launch_tests
  launch/catalogue_test.cpp
  launch/command_line_test.cpp
  launch/process_start_win_test.cpp
)
tessaro_add_test(design_tests design/design_test.cpp)
target_link_libraries(design_tests PRIVATE tessaro_design)

# The windows of Tessaro.exe, created in the test's own process; and the
# program itself, once, clicked under a window manager.
# They show and activate windows, so they take turns on the desktop.
add_executable(win32_tests win32/win32_test.cpp)
target_link_libraries(win32_tests PRIVATE tessaro_win32 tessaro_test_support_win tessaro_warnings version uxtheme GTest::gtest_main)
add_dependencies(win32_tests Tessaro)
gtest_discover_tests(win32_tests DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120 RESOURCE_LOCK desktop)
add_test(NAME win32_e2e_click_launch
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win32/e2e_click_launch.sh $<TARGET_FILE:Tessaro> $<TARGET_FILE:record_child>)
set_tests_properties(win32_e2e_click_launch PROPERTIES RUN_SERIAL ON TIMEOUT 120)
