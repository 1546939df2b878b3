# The helpers every test binary shares, compiled once.
function(reachkit_test_support)
  add_library(reachkit_test_support STATIC ${CMAKE_CURRENT_SOURCE_DIR}/support/test_support.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/os_probe.cpp)
  target_include_directories(reachkit_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(reachkit_test_support PUBLIC reachkit_core PRIVATE reachkit_warnings)
endfunction()

function(reachkit_test_suite name)
  file(GLOB _files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*_test.cpp)
  list(FILTER _files EXCLUDE REGEX "_(posix|win32)_test\\.cpp$")
  file(GLOB _backend CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*_${REACHKIT_BACKEND}_test.cpp)
  list(APPEND _files ${_backend})
  if(NOT _files)
    return()
  endif()
  add_executable(${name}_tests ${_files})
  target_link_libraries(${name}_tests PRIVATE reachkit_test_support reachkit_warnings
    GTest::gmock_main)
  target_compile_definitions(${name}_tests PRIVATE
    REACHKIT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name}_tests COMMAND ${name}_tests --gtest_brief=1)
  set_tests_properties(${name}_tests PROPERTIES TIMEOUT 600 LABELS "unit")
endfunction()
