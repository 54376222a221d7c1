# Deterministic floating point everywhere: the software rasteriser's frames are compared byte for byte.
add_compile_options(-ffp-contract=off)

if(STELLAGRIM_SANITIZE AND STELLAGRIM_TSAN)
    message(FATAL_ERROR "STELLAGRIM_SANITIZE and STELLAGRIM_TSAN exclude each other: build them apart")
endif()

if(STELLAGRIM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(STELLAGRIM_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

if(STELLAGRIM_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "STELLAGRIM_FUZZ needs clang (configure with CXX=clang++ CC=clang)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Code that only drives the code under test (test programs, benchmarks) leaves out three of the
# undefined-behaviour checks. At -O0 the null, alignment and dynamic-type checks make its
# GoogleTest-heavy code take 40% longer to compile; a null dereference there still faults under
# AddressSanitizer, and the code under test keeps every check.
function(stellagrim_driver_checks target)
    if(STELLAGRIM_SANITIZE)
        target_compile_options(${target} PRIVATE -fno-sanitize=vptr,alignment,null)
    endif()
endfunction()
