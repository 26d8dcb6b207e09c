# Writes a file's bytes into a C++ source as a constant array, so that a
# program carries the file inside it:
#   cmake -DINPUT=FILE -DOUTPUT=SOURCE.cpp -DNAME=SYMBOL -P EmbedBytes.cmake
# defines `const unsigned char SYMBOL[]` and `const std::size_t SYMBOL_SIZE`.
# A source file rather than the assembler's .incbin or `ld -b binary`: it
# builds alike with g++, clang and MinGW, with no object format or symbol
# decoration to follow.
cmake_minimum_required(VERSION 3.25)
foreach(variable INPUT OUTPUT NAME)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "EmbedBytes: ${variable} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# An empty array is no C++; an empty file is no program to carry either.
if(size EQUAL 0)
  message(FATAL_ERROR "EmbedBytes: ${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Twelve to a line (CMake's expressions have no counted repeat).
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")

# Written beside its final name and renamed, so that an interrupted build
# leaves no half source behind.
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by EmbedBytes.cmake; do not edit.\n"
  "#include <cstddef>\n\n"
  "extern const unsigned char ${NAME}[];\n"
  "extern const std::size_t ${NAME}_SIZE;\n\n"
  "const unsigned char ${NAME}[] = {\n    ${bytes}\n};\n"
  "const std::size_t ${NAME}_SIZE = ${size};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
