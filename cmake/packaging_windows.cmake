# SPDX-License-Identifier: MIT
# `make package-windows` (cpack in the cross build folder): an NSIS installer,
# tobrisk-<version>-win64-setup.exe, and a zip of the same files. Both hold
# the programs, the DLLs they load that Windows lacks, and the licence, all in
# one folder: Windows looks for a program's DLLs beside it first.

# The programs install themselves there (CMAKE_INSTALL_BINDIR is "." on Windows).
set(tobrisk_programs $<TARGET_FILE:tobrisk-render>)
if(TARGET tobrisk)
  list(APPEND tobrisk_programs $<TARGET_FILE:tobrisk>)
endif()

# Notepad and the installer's licence page want Windows line ends.
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

# What the programs carry of others' work, with its licence: the libraries
# built from Debian's sources (their Debian copyright files), zlib and MinGW's
# runtime (the same from the Debian packages they came in), and the pyramid
# viewer's script.
set(tobrisk_notices
    "oneTBB\;${TOBRISK_WINDOWS_PREFIX}/share/doc/onetbb/copyright"
    "Highway\;${TOBRISK_WINDOWS_PREFIX}/share/doc/highway/copyright"
    "libpng\;${TOBRISK_WINDOWS_PREFIX}/share/doc/libpng1.6/copyright"
    "zlib\;/usr/share/doc/libz-mingw-w64-dev/copyright"
    "MinGW-w64 runtime and winpthreads\;/usr/share/doc/mingw-w64-common/copyright"
    "GCC runtime (libstdc++, libgcc)\;/usr/share/doc/gcc-mingw-w64-base/copyright"
    "OpenSeadragon\;${PROJECT_BINARY_DIR}/tools/pyramid/viewer/node_modules/openseadragon/LICENSE.txt"
    # The licences those files name but Debian keeps once for all packages.
    "Apache-2.0\;/usr/share/common-licenses/Apache-2.0"
    "GPL-3\;/usr/share/common-licenses/GPL-3")
foreach(notice IN LISTS tobrisk_notices)
  list(GET notice 0 name)
  list(GET notice 1 file)
  string(REGEX REPLACE "[^A-Za-z0-9]+" "-" stem "${name}")
  string(REGEX REPLACE "-$" "" stem "${stem}")
  install(FILES ${file} DESTINATION third-party RENAME ${stem}.txt)
endforeach()

# The DLLs to ship: see cmake/install_windows_dlls.cmake. They are looked
# for where the compiler finds its libraries (MinGW's runtime) and in the
# prefix of the libraries built for Windows (oneTBB).
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-search-dirs OUTPUT_VARIABLE search_dirs
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\nlibraries: =?([^\n]*)" _ "\n${search_dirs}")
string(REPLACE ":" ";" tobrisk_dll_dirs "${CMAKE_MATCH_1}")
list(APPEND tobrisk_dll_dirs ${TOBRISK_WINDOWS_PREFIX}/bin)
install(CODE "
  set(TOBRISK_PROGRAMS \"${tobrisk_programs}\")
  set(TOBRISK_DLL_DIRS \"${tobrisk_dll_dirs}\")
  set(TOBRISK_OBJDUMP \"${CMAKE_OBJDUMP}\")
  set(TOBRISK_STRIP \"${CMAKE_STRIP}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/install_windows_dlls.cmake\")")

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME tobrisk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tobrisk developers")
set(CPACK_PACKAGE_FILE_NAME tobrisk-${PROJECT_VERSION}-win64)
# The installer alone adds -setup to that name.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/packaging_windows_names.cmake)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_BINARY_DIR}/LICENSE.txt)

# One folder, C:\Program Files\Tobrisk, one Start menu folder, Tobrisk, and
# the same name in Apps & features.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tobrisk)
set(CPACK_NSIS_PACKAGE_NAME Tobrisk)
set(CPACK_NSIS_DISPLAY_NAME Tobrisk)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# Values reach the NSIS script as written here, backslashes included.
set(CPACK_VERBATIM_VARIABLES ON)
# A 64-bit installer: Wine without its 32-bit half runs it too, and it sees
# the 64-bit Program Files and registry as the programs do. The uninstaller
# removes the vendor's registry key, which CPack's script leaves empty.
set(CPACK_NSIS_DEFINES "Target amd64-unicode
Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"
FunctionEnd")
# Installing over an older version removes that one first.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
if(TARGET tobrisk)
  # The shortcut shows the icon the window carries as a resource.
  set(CPACK_PACKAGE_EXECUTABLES tobrisk Tobrisk)
  set(CPACK_NSIS_INSTALLED_ICON_NAME tobrisk.exe)
endif()

include(CPack)
