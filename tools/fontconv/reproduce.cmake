# Converts FONT with CONVERTER into OUTPUT and fails unless it equals the COMMITTED file.
execute_process(COMMAND ${CONVERTER} ${FONT} ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "fontconv failed on ${FONT}")
endif()
file(SHA256 ${OUTPUT} made)
file(SHA256 ${COMMITTED} committed)
if(NOT made STREQUAL committed)
    message(FATAL_ERROR "${COMMITTED} is not what fontconv makes of ${FONT} now; "
        "regenerate it as assets/fonts/README.md says")
endif()
