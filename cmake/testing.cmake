# GoogleTest built with the cross compiler, and a helper to declare a test
# executable whose cases CTest discovers (under Wine) when the tests run.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# tarn_test(NAME SOURCES... LIBS ... [LABELS ...] [PROPERTIES name value ...])
# The environment holds one variable only: gtest_discover_tests splits a
# list-valued ENVIRONMENT into separate properties, which shifts every
# property after it. TARN_SOURCE_DIR is set by scripts/wine-run.sh.
function(tarn_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  # An empty LABELS would let the next property's name stand as the label.
  if(NOT T_LABELS)
    set(T_LABELS wine)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES ENVIRONMENT "TARN_BUILD_DIR=${CMAKE_BINARY_DIR}"
               LABELS "${T_LABELS}" ${T_PROPERTIES})
endfunction()
