# Build options shared by every folder: warnings, sanitizers, fuzzing, ccache.
option(KVELL_WERROR "Treat warnings as errors" OFF)
set(KVELL_SANITIZE "" CACHE STRING "Sanitizers to build with: address;undefined or thread")
option(KVELL_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
option(KVELL_BENCH "Build the Google Benchmark programs" ON)
option(KVELL_APP "Build the Qt viewer and its tests" ON)

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra)
if(KVELL_WERROR)
  add_compile_options(-Werror)
endif()

if(KVELL_SANITIZE)
  string(REPLACE ";" "," _kvell_sanitizers "${KVELL_SANITIZE}")
  add_compile_options(-fsanitize=${_kvell_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_kvell_sanitizers})
endif()

if(KVELL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KVELL_FUZZ needs clang: configure with CXX=clang++ CC=clang")
  endif()
  # Instrument the libraries too, so coverage guides the fuzzers into them.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
