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
  # Test files whose file-local helpers share a name with another file's of the same suite
  # (e.g. two "Lines" types) are compiled on their own.
  set(_alone ${CMAKE_CURRENT_SOURCE_DIR}/runs/probe_run_test.cpp)
  set_source_files_properties(${_alone} TARGET_DIRECTORY ${name}_tests
    PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  target_link_libraries(${name}_tests PRIVATE reachkit_test_support reachkit_warnings
    GTest::gmock_main)
  target_compile_definitions(${name}_tests PRIVATE
    REACHKIT_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # GoogleTest, gmock and the common standard headers, parsed once per build tree: the
  # first suite made owns the precompiled header, the others reuse it (same flags).
  get_property(_pch_owner GLOBAL PROPERTY REACHKIT_TEST_PCH_OWNER)
  if(_pch_owner)
    target_precompile_headers(${name}_tests REUSE_FROM ${_pch_owner})
  else()
    target_precompile_headers(${name}_tests PRIVATE <gmock/gmock.h> <gtest/gtest.h>
      <string> <vector> <optional> <algorithm> <string_view> <chrono> <functional>
      <mutex> <thread> <atomic> <array> <memory> <map> <filesystem> <fstream>)
    set_property(GLOBAL PROPERTY REACHKIT_TEST_PCH_OWNER ${name}_tests)
  endif()
  add_test(NAME ${name}_tests COMMAND ${name}_tests --gtest_brief=1)
  set_tests_properties(${name}_tests PROPERTIES TIMEOUT 600 LABELS "unit")
  # The suites that wait out real time-outs start first, so -j2 overlaps them with the rest.
  set(_cost_runs 25)
  set(_cost_probes 15)
  if(DEFINED _cost_${name})
    set_tests_properties(${name}_tests PROPERTIES COST ${_cost_${name}})
  endif()
endfunction()
