# SPDX-License-Identifier: MIT
# Run by the install of the Windows build (cmake/packaging_windows.cmake):
# copies beside the programs every DLL they load, directly or through another
# DLL, that one of TOBRISK_DLL_DIRS holds. What none of them holds,
# KERNEL32.dll and msvcrt.dll, comes with Windows.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${TOBRISK_OBJDUMP})
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${TOBRISK_PROGRAMS} DIRECTORIES ${TOBRISK_DLL_DIRS}
     RESOLVED_DEPENDENCIES_VAR dlls UNRESOLVED_DEPENDENCIES_VAR windows_dlls)
file(INSTALL ${dlls} DESTINATION ${CMAKE_INSTALL_PREFIX})

# Stripped too, as MinGW's libstdc++ carries 23 MB of debugging symbols in
# its 24. strip writes the time into a program's header: the file's own date
# (or SOURCE_DATE_EPOCH) instead gives the installer and the zip the same bytes.
if(CMAKE_INSTALL_DO_STRIP)
  foreach(file IN LISTS TOBRISK_PROGRAMS dlls)
    cmake_path(GET file FILENAME name)
    set(epoch $ENV{SOURCE_DATE_EPOCH})
    if(NOT epoch)
      file(TIMESTAMP ${file} epoch %s UTC)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch}
                            ${TOBRISK_STRIP} --strip-unneeded $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${name}
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()
