# Run after plentor_tests is built (cmake -P): lists its tests and writes a
# ctest file with one entry per test suite, so the tests of a suite share one
# process and the servers they start.
#   -DTEST_EXE=<program> -DOUT=<file to write> -DTIMEOUT=<seconds per suite>
execute_process(COMMAND "${TEST_EXE}" --gtest_list_tests
  OUTPUT_VARIABLE _listing RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${TEST_EXE} --gtest_list_tests failed (${_rc})")
endif()
# Suite lines start in column one and end with '.' (perhaps followed by a
# comment naming a type parameter); test lines are indented. Only the suite
# names are taken from the text: printed parameter values may hold ';' or
# brackets, which a CMake list cannot carry.
string(REGEX MATCHALL "(^|\n)[^ \n#][^ \n]*\\." _suiteLines "${_listing}")
set(_content "# Generated from ${TEST_EXE} --gtest_list_tests; one entry per suite.\n")
foreach(_line IN LISTS _suiteLines)
  string(STRIP "${_line}" _line)
  string(REGEX REPLACE "\\.$" "" _suite "${_line}")
  string(APPEND _content
    "add_test([=[${_suite}]=] [=[${TEST_EXE}]=] [=[--gtest_filter=${_suite}.*]=])\n"
    "set_tests_properties([=[${_suite}]=] PROPERTIES TIMEOUT ${TIMEOUT})\n")
endforeach()
file(WRITE "${OUT}" "${_content}")
