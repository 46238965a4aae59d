# Fuzz targets: one per reader, clang's libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, built only with -DOSTRA_FUZZ=ON in a clang
# build folder of its own (make fuzz, make fuzz-smoke; docs/fuzzing.md).
#
# A reader's target sits beside the reader, in <folder>/fuzz/:
#   fuzz_<name>.cpp       the target (LLVMFuzzerTestOneInput)
#   seeds/<name>/         small hand-made inputs, kept in the repository
#   crashes/<name>/       every crash input found so far, replayed by CI
# and is declared in the folder's CMakeLists.txt with
#   ostra_fuzz_target(<name> LIBS <libraries> [DATA <globs under the data folder>])
# which builds fuzz_<name> and lists it in fuzz_targets.txt of the build
# folder, one line each: name, program, seeds, crashes, data globs (tabs
# between), for scripts/fuzz.sh.
option(OSTRA_FUZZ "Build the libFuzzer targets of the readers (clang only)" OFF)

set(OSTRA_FUZZ_LIST "${CMAKE_BINARY_DIR}/fuzz_targets.txt")
if(OSTRA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "OSTRA_FUZZ needs clang (CC=clang CXX=clang++): libFuzzer is clang's")
  endif()
  # Every library is instrumented for coverage and the sanitizers; only the
  # fuzz targets link libFuzzer's driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  file(WRITE "${OSTRA_FUZZ_LIST}" "")
  add_custom_target(fuzz-targets)  # builds them all
endif()

function(ostra_fuzz_target name)
  if(NOT OSTRA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "LIBS;DATA" ${ARGN})
  set(target fuzz_${name})
  add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_${name}.cpp)
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzz-targets ${target})
  set(seeds "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/seeds/${name}")
  set(crashes "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/crashes/${name}")
  if(NOT IS_DIRECTORY "${seeds}")
    message(FATAL_ERROR "fuzz target ${name}: no seeds in ${seeds}")
  endif()
  string(JOIN " " globs ${F_DATA})
  file(APPEND "${OSTRA_FUZZ_LIST}"
       "${name}\t${CMAKE_CURRENT_BINARY_DIR}/${target}\t${seeds}\t${crashes}\t${globs}\n")
endfunction()
