# SPDX-License-Identifier: MIT
# Read by cpack once per generator: the installer is
# tobrisk-<version>-win64-setup.exe, the zip tobrisk-<version>-win64.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
endif()
