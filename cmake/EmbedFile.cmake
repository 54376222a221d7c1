# Writes a C++ source holding the bytes of a file, at build time:
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DSYMBOL=<name> -P EmbedFile.cmake
# defines `const unsigned char <name>Data[]` and `const std::size_t <name>Size`.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
    message(FATAL_ERROR "EmbedFile: ${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 row)
string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
    "// Generated from ${name} by cmake/EmbedFile.cmake.\n"
    "#include <cstddef>\n\n"
    "extern const unsigned char ${SYMBOL}Data[];\n"
    "extern const std::size_t ${SYMBOL}Size;\n\n"
    "const unsigned char ${SYMBOL}Data[] = {\n${bytes}\n};\n"
    "const std::size_t ${SYMBOL}Size = sizeof ${SYMBOL}Data;\n")
