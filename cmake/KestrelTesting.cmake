# kestrel_add_test(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <VAR=value...>])
# Builds one GoogleTest executable and registers each of its tests with CTest.
include(GoogleTest)
find_package(GTest REQUIRED)

# The variables every test runs with: the offscreen Qt platform, and in the
# sanitizer builds the in-process plugin scan and the suppression files.
function(kestrel_test_environment out)
  set(environment QT_QPA_PLATFORM=offscreen)
  if(KESTREL_ASAN OR KESTREL_TSAN OR KESTREL_FUZZ)
    # GStreamer's out-of-process plugin scanner cannot load sanitized plugins.
    list(APPEND environment GST_REGISTRY_FORK=no)
  endif()
  if(KESTREL_TSAN)
    # GSlice hands out pieces of its own blocks: a GstBuffer freed on one
    # thread and allocated again on another would look to ThreadSanitizer like
    # the same object, so every piece comes from malloc and goes back to free.
    # (Not under LeakSanitizer: what GLib's type system keeps in slices for
    # the whole run would then be reported.)
    list(APPEND environment G_SLICE=always-malloc)
    # Accesses that uninstrumented libraries make through intercepted calls
    # are not races of ours (see cmake/tsan.supp); our own accesses are all checked.
    list(APPEND environment "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan.supp:ignore_noninstrumented_modules=1:second_deadlock_stack=1")
  endif()
  if(KESTREL_ASAN OR KESTREL_FUZZ)
    # Whole allocation stacks (the system libraries have no frame pointers),
    # so that suppressions can name the function that really allocated.
    list(APPEND environment "ASAN_OPTIONS=fast_unwind_on_malloc=0:detect_leaks=1"
                            "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0"
                            "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  set(${out} ${environment} PARENT_SCOPE)
endfunction()

# kestrel_set_test_environment(<test names...>)
# The same variables for tests registered with add_test (scripts, programs).
function(kestrel_set_test_environment)
  kestrel_test_environment(test_environment)
  set_tests_properties(${ARGN} PROPERTIES ENVIRONMENT "${test_environment}")
endfunction()

function(kestrel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  # gtest_discover_tests flattens property lists, so of several ENVIRONMENT
  # entries only the first would arrive; the variables go through `cmake -E env`,
  # which runs the test both for discovery and for each case.
  kestrel_test_environment(test_environment)
  list(APPEND test_environment ${T_ENVIRONMENT})
  set_target_properties(${name} PROPERTIES
    CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${test_environment}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
