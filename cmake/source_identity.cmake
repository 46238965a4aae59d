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
set(globs CMakeLists.txt cmake/*.cmake)
foreach(dir app effects flash manifest record render3d runtime sound timeline)
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
