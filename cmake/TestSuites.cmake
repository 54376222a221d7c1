# Registers the test suites of a GoogleTest program with CTest, one test per suite, after each
# build of the program:
#   cmake -DPROGRAM=<program> -DOUTPUT=<file> -DTIMEOUT=<seconds> -P TestSuites.cmake
# writes to <file> one add_test() per suite, running the program with --gtest_filter=<suite>.*.
# A process per suite rather than per test: under the sanitizers, starting and ending a program
# costs far more than most of its tests.
execute_process(COMMAND "${PROGRAM}" --gtest_list_tests
    OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${status}):\n${listing}${errors}")
endif()

# A suite line is its name and a dot, at the start of the line ("Suite." or, for typed and
# parameterised suites, "Prefix/Suite/0.  # TypeParam = ..."); tests are indented below it.
string(REGEX MATCHALL "(^|\n)[A-Za-z_][A-Za-z0-9_/]*\\." suite_lines "${listing}")
set(script "")
set(count 0)
foreach(line IN LISTS suite_lines)
    string(STRIP "${line}" line)
    string(REGEX REPLACE "\\.$" "" suite "${line}")
    string(APPEND script
        "add_test([==[${suite}]==] [==[${PROGRAM}]==] [==[--gtest_filter=${suite}.*]==])\n"
        "set_tests_properties([==[${suite}]==] PROPERTIES TIMEOUT ${TIMEOUT})\n")
    math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "${PROGRAM} lists no test suite:\n${listing}")
endif()
file(WRITE "${OUTPUT}" "${script}")
