# tapdeck_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [X11])
# One Qt Test executable, one CTest target. Widget tests run on the offscreen
# platform; X11 tests use the display that `make test` starts with xvfb-run.
function(tapdeck_add_test)
  cmake_parse_arguments(T "X11" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    TAPDECK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    TAPDECK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
          "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1"
          "UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1"
          "QT_FATAL_WARNINGS=0")
  if(NOT T_X11)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300 LABELS "${T_LABELS}")
endfunction()
