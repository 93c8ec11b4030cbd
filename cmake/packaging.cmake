# SPDX-License-Identifier: MIT
# `make package` (cpack -G DEB in the build folder): one Debian package with
# both programs, the desktop entry, the icons and the manual pages. Its
# Depends are worked out by dpkg-shlibdeps from the libraries the programs
# link, so apt installs Qt, TBB and zlib along with it.
# The Windows build makes an installer and a zip instead.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/packaging_windows.cmake)
  return()
endif()

set(TOBRISK_MAINTAINER "Tobrisk developers <tobrisk@example.org>")
set(TOBRISK_DEBIAN_RELEASE 1)
set(TOBRISK_DEBIAN_VERSION "${PROJECT_VERSION}-${TOBRISK_DEBIAN_RELEASE}")

# The changelog's date follows SOURCE_DATE_EPOCH when set, for a reproducible package.
string(TIMESTAMP TOBRISK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/dist/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
execute_process(COMMAND ${GZIP_PROGRAM} -9 -n -f ${PROJECT_BINARY_DIR}/debian/changelog.Debian)
install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz ${PROJECT_SOURCE_DIR}/dist/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tobrisk)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tobrisk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tobrisk developers")
set(CPACK_PACKAGE_CONTACT "${TOBRISK_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TOBRISK_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOBRISK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis is the project's description; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tobrisk draws the Mandelbrot set or a Julia set of z <- z^2 + c in a small
window, and tobrisk-render draws the same pictures into PNG files of any size.
.
The arithmetic is defined to the last bit: every value is an IEEE single,
every statement is evaluated in double and rounded to single, and
floating-point faults are reported with the pixel where they arose, so a
picture is the same on every machine.")

include(CPack)
