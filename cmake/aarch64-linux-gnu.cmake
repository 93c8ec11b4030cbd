# SPDX-License-Identifier: MIT
# Cross-builds for 64-bit Arm with Debian's cross compiler and the :arm64
# libraries (dpkg --add-architecture arm64); the tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Headers and libraries of the target only; programs (the code generators,
# if any) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr/lib/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Built tests run through the emulator with the arm64 loader and libraries
# that dpkg installed in /lib (-L /). Not the cross root /usr/aarch64-linux-gnu:
# its loader is another build of glibc than the libc.so.6 that the :arm64
# libraries bring, and the pair hangs in pthread_create.
find_program(TOBRISK_QEMU_AARCH64 qemu-aarch64)
if(TOBRISK_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOBRISK_QEMU_AARCH64} -L /)
endif()
