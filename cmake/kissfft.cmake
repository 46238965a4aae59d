# kissfft as a target of our own, compiled from Debian's source package (the
# same sources on the desktop and in the browser) with pinned float
# arithmetic: no fast-math and no contraction into fused multiply-adds, so
# the spectrum and every scope drawn from it come out the same on both.
# scripts/deb-source.sh fetches the source into a cache outside the clone.
set(OSTRA_KISSFFT_SRC "" CACHE PATH "kissfft's unpacked Debian source (empty: fetch it)")
if(NOT OSTRA_KISSFFT_SRC)
  execute_process(COMMAND "${CMAKE_SOURCE_DIR}/scripts/deb-source.sh" kissfft
                  OUTPUT_VARIABLE kiss_src RESULT_VARIABLE kiss_rc
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT kiss_rc EQUAL 0 OR NOT kiss_src)
    message(FATAL_ERROR "could not fetch kissfft's Debian source package (scripts/deb-source.sh kissfft); "
                        "unpack it yourself and pass -DOSTRA_KISSFFT_SRC=<folder>")
  endif()
  set(OSTRA_KISSFFT_SRC "${kiss_src}" CACHE PATH "kissfft's unpacked Debian source (empty: fetch it)" FORCE)
endif()
foreach(f kiss_fft.c kiss_fftr.c kiss_fft.h kiss_fftr.h _kiss_fft_guts.h kiss_fft_log.h)
  if(NOT EXISTS "${OSTRA_KISSFFT_SRC}/${f}")
    message(FATAL_ERROR "${OSTRA_KISSFFT_SRC}/${f} is missing: OSTRA_KISSFFT_SRC must be kissfft's source folder")
  endif()
endforeach()

add_library(ostra_kissfft STATIC "${OSTRA_KISSFFT_SRC}/kiss_fft.c" "${OSTRA_KISSFFT_SRC}/kiss_fftr.c")
target_include_directories(ostra_kissfft SYSTEM PUBLIC "${OSTRA_KISSFFT_SRC}")
target_compile_definitions(ostra_kissfft PUBLIC kiss_fft_scalar=float)
# Pinned arithmetic; its own warnings are not ours to fix.
target_compile_options(ostra_kissfft PRIVATE -O2 -fno-fast-math -ffp-contract=off -w)
