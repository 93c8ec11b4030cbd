# SPDX-License-Identifier: MIT
# Installs the build into a scratch prefix and checks that a desktop finds the
# program, its entry and its icon there. Run with -DBUILD_DIR=... -DPREFIX=...
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected bin/tobrisk bin/tobrisk-render share/applications/tobrisk.desktop
    share/man/man1/tobrisk.1.gz share/man/man1/tobrisk-render.1.gz)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/tobrisk.png)
endforeach()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/tobrisk.desktop entry)
foreach(line "Exec=tobrisk" "Icon=tobrisk")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
