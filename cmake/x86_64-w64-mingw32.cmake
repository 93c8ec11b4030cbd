# SPDX-License-Identifier: MIT
# Cross-builds 64-bit Windows programs with Debian's MinGW-w64 (the POSIX
# threads flavour, which std::thread and oneTBB need); the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The 64-bit Windows ABI keeps the stack aligned to 16 bytes only, and GCC
# still spills AVX and AVX-512 registers with aligned moves: the assembler
# turns those into unaligned ones, which cost nothing on aligned data.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# Headers and libraries of the target only: MinGW's own root, and the prefix
# the libraries built from Debian's sources were installed in.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TOBRISK_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib linked in, as on Linux it is a system library; oneTBB stays a DLL.
set(ZLIB_USE_STATIC_LIBS ON)

# Built programs run under Wine, with the DLLs they need on its search path.
# One program without arguments: CMake's test discovery takes the emulator as
# a single path. try_compile's projects see neither the prefix nor the need.
if(TOBRISK_WINDOWS_PREFIX AND EXISTS /usr/lib/wine/wine64)
  set(TOBRISK_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
  file(WRITE ${TOBRISK_WINE_RUN}
       "#!/bin/sh\nexec '${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run' '${TOBRISK_WINDOWS_PREFIX}/bin' \"$@\"\n")
  file(CHMOD ${TOBRISK_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOBRISK_WINE_RUN})
endif()
