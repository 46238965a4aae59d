# Script mode (cmake -DROOT=SOURCE_DIR -DOUT=HEADER -P source_identity.cmake):
# writes HEADER defining OSTRA_SOURCE_IDENTITY, the first 64 bits of a
# SHA-256 over the path and bytes of every file the program is built from
# (its C++ folders and the build files), in sorted order. The header is
# rewritten only when the value changes, so an unchanged tree rebuilds
# nothing. Tests, tools, the page and the documents are not part of it.
cmake_minimum_required(VERSION 3.16)  # globs do not follow symbolic links
if(NOT ROOT OR NOT OUT)
  message(FATAL_ERROR "source_identity.cmake: ROOT and OUT must be given")
endif()
# The program's folders are those the top CMakeLists.txt adds, less the
# generator, the tools, the tests and the benchmarks, so a folder added or
# split there is counted without a list here to keep.
file(STRINGS "${ROOT}/CMakeLists.txt" added REGEX "^[ \t]*add_subdirectory\\([A-Za-z0-9_]+\\)")
set(dirs "")
foreach(line IN LISTS added)
  string(REGEX REPLACE "^[ \t]*add_subdirectory\\(([A-Za-z0-9_]+)\\).*" "\\1" dir "${line}")
  if(NOT dir MATCHES "^(generator|tools|tests|bench)$")
    list(APPEND dirs ${dir})
  endif()
endforeach()
set(globs CMakeLists.txt cmake/*.cmake)
foreach(dir IN LISTS dirs)
  list(APPEND globs ${dir}/*.cpp ${dir}/*.h ${dir}/*.c ${dir}/*.txt)
endforeach()
set(patterns "")
foreach(g IN LISTS globs)
  list(APPEND patterns "${ROOT}/${g}")
endforeach()
file(GLOB_RECURSE files RELATIVE "${ROOT}" ${patterns})
list(SORT files)
set(all "")
foreach(f IN LISTS files)
  file(SHA256 "${ROOT}/${f}" h)
  string(APPEND all "${f} ${h}\n")
endforeach()
string(SHA256 sum "${all}")
string(SUBSTRING "${sum}" 0 16 id)
set(text "// Made by cmake/source_identity.cmake: the program's sources' identity.\n#pragma once\n#define OSTRA_SOURCE_IDENTITY 0x${id}ULL\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${text}")
