# SPDX-License-Identifier: MIT
# Builds the Debian package from the build and checks what a user installs:
# the files, the dependencies apt will pull in, stripped programs, and no
# lintian error. Run with -DBUILD_DIR=... -DSCRATCH=... [-DLINTIAN=...]
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}
                RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB packages ${SCRATCH}/tobrisk_*.deb)
list(LENGTH packages count)
if(NOT result EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made no single tobrisk_*.deb (${result}):\n${log}")
endif()

execute_process(COMMAND dpkg-deb -c ${packages} OUTPUT_VARIABLE contents COMMAND_ERROR_IS_FATAL ANY)
set(expected usr/bin/tobrisk usr/bin/tobrisk-render usr/share/applications/tobrisk.desktop
    usr/share/man/man1/tobrisk.1.gz usr/share/man/man1/tobrisk-render.1.gz
    usr/share/doc/tobrisk/copyright usr/share/doc/tobrisk/changelog.Debian.gz)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND expected usr/share/icons/hicolor/${size}x${size}/apps/tobrisk.png)
endforeach()
foreach(file IN LISTS expected)
  string(FIND "${contents}" " ./${file}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks /${file}:\n${contents}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb -f ${packages} Depends Section OUTPUT_VARIABLE fields COMMAND_ERROR_IS_FATAL ANY)
foreach(needed "libqt6widgets6" "libtbb12" "zlib1g" "Section: graphics")
  string(FIND "${fields}" "${needed}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the control fields lack ${needed}:\n${fields}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb -x ${packages} ${SCRATCH}/root COMMAND_ERROR_IS_FATAL ANY)
foreach(program tobrisk tobrisk-render)
  execute_process(COMMAND file -b ${SCRATCH}/root/usr/bin/${program} OUTPUT_VARIABLE kind)
  if(NOT kind MATCHES ", stripped")
    message(FATAL_ERROR "/usr/bin/${program} is not stripped: ${kind}")
  endif()
endforeach()

if(LINTIAN)
  execute_process(COMMAND ${LINTIAN} --fail-on error ${packages} RESULT_VARIABLE result OUTPUT_VARIABLE report
                  ERROR_VARIABLE report)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "lintian finds errors:\n${report}")
  endif()
endif()
file(REMOVE_RECURSE ${SCRATCH})
