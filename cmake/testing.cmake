# GoogleTest built with the cross compiler, and a helper to declare a test
# executable whose cases CTest discovers (under Wine) when the tests run.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# tarn_test(NAME SOURCES... LIBS ... [LABELS label] [ENV VAR=VALUE] [LOCK resource])
# ENV adds a variable to the cases' environment; LOCK makes cases that share a
# resource (the service manager's one service name) run one at a time.
function(tarn_test name)
  cmake_parse_arguments(T "" "LOCK" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  # gtest_discover_tests hands the properties on as one flattened list and
  # loses escaped semicolons, so no property may hold a list or be empty:
  # ENVIRONMENT holds one variable and ENVIRONMENT_MODIFICATION one more,
  # TARN_SOURCE_DIR or the test's own ENV (one VAR=VALUE; the tests find the
  # source tree beside the build without TARN_SOURCE_DIR).
  list(LENGTH T_ENV env_count)
  if(env_count GREATER 1)
    message(FATAL_ERROR "tarn_test(${name}): ENV takes one VAR=VALUE")
  endif()
  if(T_ENV)
    string(REGEX REPLACE "^([^=]+)=(.*)$" "\\1=set:\\2" extra "${T_ENV}")
  else()
    set(extra "TARN_SOURCE_DIR=set:${PROJECT_SOURCE_DIR}")
  endif()
  set(props ENVIRONMENT "TARN_BUILD_DIR=${CMAKE_BINARY_DIR}" ENVIRONMENT_MODIFICATION "${extra}")
  if(T_LABELS)
    list(LENGTH T_LABELS label_count)
    if(label_count GREATER 1)
      message(FATAL_ERROR "tarn_test(${name}): one label only")
    endif()
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  if(T_LOCK)
    list(APPEND props RESOURCE_LOCK "${T_LOCK}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    PROPERTIES ${props})
endfunction()
