# GoogleTest built with the cross compiler, and a helper to declare a test
# executable whose cases CTest discovers (under Wine) when the tests run.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# tarn_test(NAME SOURCES... LIBS ... [LABELS ...] [ENV VAR=VALUE...] [LOCK resource])
# ENV adds variables to the cases' environment; LOCK makes cases that share a
# resource (the service manager's one service name) run one at a time.
function(tarn_test name)
  cmake_parse_arguments(T "" "LOCK" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  set(env "TARN_BUILD_DIR=${CMAKE_BINARY_DIR}" "TARN_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${T_ENV})
  set(lock)
  if(T_LOCK)
    set(lock RESOURCE_LOCK "${T_LOCK}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES ENVIRONMENT "${env}"
               LABELS "${T_LABELS}"
               ${lock})
endfunction()
