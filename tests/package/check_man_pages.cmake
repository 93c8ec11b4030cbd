# SPDX-License-Identifier: MIT
# Each manual page formats without a single groff warning, and the renderer's
# page names every option its --help lists, so the two cannot drift apart.
# Run with -DGROFF=... -DRENDER=... -DDIST=...
cmake_minimum_required(VERSION 3.25)
foreach(page tobrisk.1 tobrisk-render.1)
  execute_process(COMMAND ${GROFF} -man -Tutf8 -ww -z ${DIST}/${page}
                  RESULT_VARIABLE result ERROR_VARIABLE warnings)
  if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
    message(FATAL_ERROR "${page} does not format cleanly:\n${warnings}")
  endif()
endforeach()

execute_process(COMMAND ${RENDER} --help OUTPUT_VARIABLE usage RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "tobrisk-render --help failed: ${result}")
endif()
file(READ ${DIST}/tobrisk-render.1 page)
string(REPLACE "\\-" "-" page "${page}")
string(REGEX MATCHALL "--[a-z]+" options "${usage}")
list(REMOVE_DUPLICATES options)
foreach(option IN LISTS options)
  string(REGEX MATCH "${option}[^a-z]" found "${page}")
  if(found STREQUAL "")
    message(FATAL_ERROR "tobrisk-render.1 does not describe ${option}")
  endif()
endforeach()
