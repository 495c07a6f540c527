# kestrel_add_test(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <VAR=value...>])
# Builds one GoogleTest executable and registers each of its tests with CTest.
include(GoogleTest)
find_package(GTest REQUIRED)

function(kestrel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # gtest_discover_tests flattens property lists, so of several ENVIRONMENT
  # entries only the first would arrive; the variables go through `cmake -E env`,
  # which runs the test both for discovery and for each case.
  set(test_environment QT_QPA_PLATFORM=offscreen ${T_ENVIRONMENT})
  if(KESTREL_ASAN OR KESTREL_TSAN)
    # GStreamer's out-of-process plugin scanner cannot load sanitized plugins.
    list(APPEND test_environment GST_REGISTRY_FORK=no)
  endif()
  if(KESTREL_TSAN)
    list(APPEND test_environment "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp")
  endif()
  if(KESTREL_ASAN)
    list(APPEND test_environment "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0")
  endif()
  set_target_properties(${name} PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${test_environment}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
