# Warning flags for our own targets; third-party headers come in as system includes.
function(stellagrim_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(STELLAGRIM_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
