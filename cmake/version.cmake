# SPDX-License-Identifier: MIT
# The version lives in one place, project() in the top-level CMakeLists.txt;
# programs read it from this generated header.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
  ${PROJECT_BINARY_DIR}/generated/tobrisk/version.h @ONLY)

add_library(tobrisk_version INTERFACE)
target_include_directories(tobrisk_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
