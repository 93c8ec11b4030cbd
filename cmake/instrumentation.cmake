# SPDX-License-Identifier: MIT
# Instrumented builds, both with clang: the whole test suite under the address
# and undefined-behaviour sanitizers, and the libFuzzer targets.
option(TOBRISK_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang)" OFF)
option(TOBRISK_BUILD_FUZZERS "Build the libFuzzer targets in tests/fuzz (clang; implies the sanitizers)" OFF)

if(TOBRISK_SANITIZE OR TOBRISK_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "Sanitizer and fuzzer builds need clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Any report must fail the run, so nothing recovers and carries on.
  # float-divide-by-zero stays off: the engine divides by zero on purpose and
  # reports it through its own fault test.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(TOBRISK_BUILD_FUZZERS)
    # Coverage feedback for every library the targets call into.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
