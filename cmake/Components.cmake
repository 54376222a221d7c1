# Unity builds: a target's sources compile in batches, one translation unit each. A source that
# needs a translation unit of its own says so with SKIP_UNITY_BUILD_INCLUSION.
function(stellagrim_fast_build target)
    if(STELLAGRIM_UNITY)
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    endif()
endfunction()

# A component is one source folder compiled into a static library of its own; the public targets
# (platform, stellagrim, marivell_game) are made of components. Sources are found by globbing, so
# adding a file needs no CMake change.
function(stellagrim_component name dir)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
    if(sources)
        add_library(${name} STATIC ${sources})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
        stellagrim_warnings(${name})
        stellagrim_fast_build(${name})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# One GoogleTest program per test folder, registered with CTest.
function(stellagrim_test name dir)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(NOT sources)
        return()
    endif()
    if(STELLAGRIM_TSAN AND NOT name IN_LIST STELLAGRIM_THREAD_TESTS)
        return()
    endif()
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} test_fixtures test_main GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        STELLAGRIM_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        STELLAGRIM_BINARY_DIR="${PROJECT_BINARY_DIR}")
    stellagrim_warnings(${name})
    stellagrim_fast_build(${name})
    target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# One Google Benchmark program per source file in bench/.
function(stellagrim_bench source)
    get_filename_component(stem ${source} NAME_WE)
    add_executable(bench_${stem} ${source})
    target_link_libraries(bench_${stem} PRIVATE ${ARGN} benchmark::benchmark benchmark::benchmark_main)
    stellagrim_warnings(bench_${stem})
endfunction()
