# The settings dialogs driven in the real Reachkit.exe under Wine + Xvfb.
# Included by this folder's CMakeLists.txt; one ctest test, one harness
# process, which starts the program once per case.
add_executable(dialogs_gui_tests
  ${CMAKE_CURRENT_LIST_DIR}/dialogs_gui_win32_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/test_support.cpp)
target_include_directories(dialogs_gui_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(dialogs_gui_tests PRIVATE reachkit_core reachkit_warnings GTest::gtest gdi32)
add_dependencies(dialogs_gui_tests Reachkit)
add_test(NAME dialogs_gui_tests
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/dialogs_gui_run.sh $<TARGET_FILE:dialogs_gui_tests>
          $<TARGET_FILE:Reachkit> ${CMAKE_CURRENT_BINARY_DIR}/dialogs-shots)
set_tests_properties(dialogs_gui_tests PROPERTIES TIMEOUT 300 LABELS "gui")
