# SPDX-License-Identifier: MIT
# Writes a file of the viewer into a C++ source as bytes, returned by the function FUNCTION:
# cmake -DINPUT=... -DOUTPUT=... -DFUNCTION=... -P embed_script.cmake
# (a string literal this long is beyond what ISO C++ promises compilers take).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new" "// Generated from ${INPUT}.\n#include \"tools/pyramid/viewer_page.h\"\n\nnamespace tobrisk {\nnamespace {\nconstexpr unsigned char kScript[] = {\n${bytes}};\n}  // namespace\n\nstd::span<const unsigned char> ${FUNCTION}() { return kScript; }\n\n}  // namespace tobrisk\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
