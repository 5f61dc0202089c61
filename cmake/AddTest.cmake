# speckwright_add_test(<name> SOURCES <files...> LIBS <targets...> [THREADS] [GENICAM])
#
# Registers one Qt Test executable with CTest. It links the libraries under
# test and never recompiles their sources. Tests flagged THREADS also run in
# the ThreadSanitizer tree; in that tree the others are left out. Tests
# flagged GENICAM (label genicam) talk to fake GigE Vision cameras on the
# loopback addresses below and must run in a loopback-only network namespace;
# every other test runs with the GenICam cameras switched off, so that no
# test searches a real network. GENICAM tests are not THREADS tests: GLib's
# own locks are invisible to ThreadSanitizer, which then reports every image
# Aravis's threads write.
set(SPECKWRIGHT_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")

if(NOT TARGET speckwright_threaded_tests)
  add_custom_target(speckwright_threaded_tests)
endif()

function(speckwright_add_test name)
  cmake_parse_arguments(ARG "THREADS;GENICAM" "" "SOURCES;LIBS" ${ARGN})
  if(SPECKWRIGHT_SANITIZE STREQUAL "thread" AND NOT ARG_THREADS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE speckwright_testutils ${ARG_LIBS} Qt5::Test)
  add_test(NAME ${name} COMMAND ${name})
  if(ARG_GENICAM)
    set(cameras "KIVO_GENICAM_ADDRESSES=127.0.0.1,127.0.0.2")
  else()
    set(cameras "KIVO_GENICAM_CAMERAS=0")
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${SPECKWRIGHT_TEST_ENVIRONMENT};${cameras}"
    TIMEOUT 300)
  if(ARG_GENICAM)
    set_tests_properties(${name} PROPERTIES LABELS genicam)
  endif()
  if(ARG_THREADS)
    add_dependencies(speckwright_threaded_tests ${name})
    set_tests_properties(${name} PROPERTIES LABELS threads)
  endif()
endfunction()

# speckwright_add_manpage_test(<target> <page>)
#
# Checks that the manual page describes every option that the program's
# --help lists, and its version.
function(speckwright_add_manpage_test target page)
  if(SPECKWRIGHT_SANITIZE STREQUAL "thread")
    return()
  endif()
  add_test(NAME manpage_${target}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DMANPAGE=${page}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckManPage.cmake)
  set_tests_properties(manpage_${target} PROPERTIES
    ENVIRONMENT "${SPECKWRIGHT_TEST_ENVIRONMENT}"
    TIMEOUT 60)
endfunction()
