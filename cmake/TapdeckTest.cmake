# tapdeck_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [X11]
#                  [WINDOW_MANAGER <manager>])
# One Qt Test executable, one CTest target. Widget tests run on the offscreen platform.
# Tests that need an X server (X11, or the label x11 for those that talk Xlib directly)
# each get a server of their own, so that `ctest -j` can run them side by side. With
# WINDOW_MANAGER, an X11 test runs a second time, as <name>_<manager>, with that window
# manager framing the windows.

# The tests that take longest; CTest starts them first so that they do not end a
# parallel run alone. Later runs of the same tree use CTest's own measured costs.
set(TAPDECK_SLOW_TESTS tst_endtoend tst_panel_process tst_savesafety tst_hostilesettings
    tst_boardsimulator tst_hostilefiles tst_motioneditor_x11 tst_commxpty tst_commxdata
    tst_commx tst_termioscommdevice tst_cmdexchange tst_cmdfaults tst_pressfeedback)
set(TAPDECK_WITH_DISPLAY ${CMAKE_CURRENT_LIST_DIR}/with_display.sh)

# TAPDECK_TESTS=all builds and registers every test. `make test` gives its plain tree
# TAPDECK_TESTS=optimised: every test runs in the AddressSanitizer tree anyway, so the
# plain tree keeps only those where the optimised program itself is the point (the real
# executable, timing on pseudo-terminals, the simulator, file safety under kills). The
# other tests' targets are still defined there, outside `all`.
set(TAPDECK_TESTS "all" CACHE STRING "Tests to build and register: all | optimised")
set(TAPDECK_OPTIMISED_TESTS tst_tapdeck_process tst_panel_process tst_editor_process
    tst_wayland_session tst_install
    tst_endtoend tst_motioneditor_x11 tst_termioscommdevice tst_commxpty tst_cmdexchange
    tst_boardsimulator tst_savesafety tst_hold_process)

function(tapdeck_add_test)
  cmake_parse_arguments(T "X11" "NAME;WINDOW_MANAGER" "SOURCES;LIBS;LABELS" ${ARGN})
  if(TAPDECK_TESTS STREQUAL "optimised" AND NOT T_NAME IN_LIST TAPDECK_OPTIMISED_TESTS)
    add_executable(${T_NAME} EXCLUDE_FROM_ALL ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    set_target_properties(${T_NAME} PROPERTIES UNITY_BUILD OFF)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  # One test file a target: nothing to gain from a unity build.
  set_target_properties(${T_NAME} PROPERTIES UNITY_BUILD OFF)
  # Test code needs no speed, and line tables are enough for its backtraces: unoptimised,
  # a test compiles in about two thirds of the time it takes at -O1 (more under the
  # sanitizers). The libraries under test keep the tree's own flags.
  target_compile_options(${T_NAME} PRIVATE -O0 -g1)
  target_compile_definitions(${T_NAME} PRIVATE
    TAPDECK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    TAPDECK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
          "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1"
          "UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1"
          "QT_FATAL_WARNINGS=0")
  if(T_X11 OR "x11" IN_LIST T_LABELS)
    add_test(NAME ${T_NAME} COMMAND ${TAPDECK_WITH_DISPLAY} $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_X11)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set(cost 0)
  list(FIND TAPDECK_SLOW_TESTS ${T_NAME} slow)
  if(slow GREATER -1)
    list(LENGTH TAPDECK_SLOW_TESTS count)
    math(EXPR cost "100 + ${count} - ${slow}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300
    LABELS "${T_LABELS}" COST ${cost})
  if(T_WINDOW_MANAGER)
    set(managed ${T_NAME}_${T_WINDOW_MANAGER})
    add_test(NAME ${managed} COMMAND ${TAPDECK_WITH_DISPLAY} --window-manager ${T_WINDOW_MANAGER}
      $<TARGET_FILE:${T_NAME}>)
    set_tests_properties(${managed} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300
      LABELS "${T_LABELS}" COST ${cost})
  endif()
endfunction()
