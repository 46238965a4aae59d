# Script mode (cmake -DSCRIPT=cmake/source_identity.cmake -DWORK=DIR -P ...):
# the program's source identity on a small tree of its own. It must change
# with a source's bytes, a source's name and a new source, stay for files
# that are not the program's (tests, documents, a folder the build does not
# add) and for an unchanged tree, where the header is not rewritten either.
# A folder the top build file adds counts from its first file.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/tree/timeline" "${WORK}/tree/tests" "${WORK}/tree/cmake")
file(WRITE "${WORK}/tree/CMakeLists.txt"
     "project(x)\nadd_subdirectory(timeline)\n  add_subdirectory(capture)\nadd_subdirectory(tests)\n")
file(WRITE "${WORK}/tree/timeline/a.cpp" "int a;\n")
file(WRITE "${WORK}/tree/timeline/a.h" "int b;\n")
file(WRITE "${WORK}/tree/tests/t.cpp" "int t;\n")
set(out "${WORK}/id.h")

function(identity var)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${WORK}/tree -DOUT=${out} -P ${SCRIPT}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "source_identity.cmake failed: ${err}")
  endif()
  file(READ "${out}" text)
  if(NOT text MATCHES "#define OSTRA_SOURCE_IDENTITY 0x([0-9a-f]+)ULL")
    message(FATAL_ERROR "no identity in ${out}: ${text}")
  endif()
  string(LENGTH "${CMAKE_MATCH_1}" n)
  if(NOT n EQUAL 16)
    message(FATAL_ERROR "the identity has ${n} hex digits, not 16: ${CMAKE_MATCH_1}")
  endif()
  set(${var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

function(expect what a op b)
  if(op STREQUAL "same" AND NOT a STREQUAL b)
    message(FATAL_ERROR "${what}: the identity changed (${a} -> ${b})")
  elseif(op STREQUAL "differs" AND a STREQUAL b)
    message(FATAL_ERROR "${what}: the identity stayed ${a}")
  endif()
endfunction()

identity(first)
file(TIMESTAMP "${out}" stamp "%s")
execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1.1)
identity(again)
file(TIMESTAMP "${out}" stamp2 "%s")
expect("an unchanged tree" "${first}" same "${again}")
if(NOT stamp STREQUAL stamp2)
  message(FATAL_ERROR "an unchanged tree rewrote the header (${stamp} -> ${stamp2})")
endif()

file(WRITE "${WORK}/tree/tests/t.cpp" "int t2;\n")
file(WRITE "${WORK}/tree/README.md" "words\n")
file(MAKE_DIRECTORY "${WORK}/tree/spare")
file(WRITE "${WORK}/tree/spare/s.cpp" "int s;\n")
identity(x)
expect("a test, a document and a folder not built changed" "${first}" same "${x}")

file(MAKE_DIRECTORY "${WORK}/tree/capture")
file(WRITE "${WORK}/tree/capture/b.cpp" "int b;\n")
identity(x2)
expect("a file in a second folder the build adds" "${x}" differs "${x2}")
set(x "${x2}")

file(WRITE "${WORK}/tree/timeline/a.cpp" "int a2;\n")
identity(y)
expect("a source's bytes changed" "${x}" differs "${y}")

file(RENAME "${WORK}/tree/timeline/a.h" "${WORK}/tree/timeline/c.h")
identity(z)
expect("a header renamed" "${y}" differs "${z}")

file(WRITE "${WORK}/tree/cmake/more.cmake" "set(v 1)\n")
identity(w)
expect("a build file added" "${z}" differs "${w}")

file(WRITE "${WORK}/tree/CMakeLists.txt" "project(y)\n")
identity(v)
expect("the top build file changed" "${w}" differs "${v}")

file(REMOVE_RECURSE "${WORK}")
message(STATUS "source identity: 7 checks passed")
