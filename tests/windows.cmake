# The windows of Tessaro.exe, created in the test's own process; and the
# program itself, once, clicked under a window manager.  They show and
# activate windows, so they take turns on the desktop.
tessaro_add_test(win32_tests win32/win32_test.cpp PROPERTIES RESOURCE_LOCK desktop)
tessaro_with_manifest(win32_tests)  # the common controls that Tessaro.exe meets
target_link_libraries(win32_tests PRIVATE tessaro_win32 version uxtheme)
add_dependencies(win32_tests Tessaro)
add_test(NAME win32_e2e_click_launch
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/win32/e2e_click_launch.sh $<TARGET_FILE:Tessaro> $<TARGET_FILE:record_child>)
set_tests_properties(win32_e2e_click_launch PROPERTIES RUN_SERIAL ON TIMEOUT 120)
