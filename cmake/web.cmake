# The browser build's libraries: WebAssembly builds of SDL2, libopenmpt
# libjpeg and zlib from Debian's source packages, made by
# scripts/web/build-libs.sh under OSTRA_WEB_PREFIX; stb_image and CLI11 are
# header-only and come from Debian's own packages on this machine; kissfft
# is compiled with the show (cmake/kissfft.cmake).
set(OSTRA_WEB_PREFIX "" CACHE PATH "Prefix of the WebAssembly library builds")
foreach(lib libSDL2.a libopenmpt.a libjpeg.a libz.a)
  if(NOT EXISTS "${OSTRA_WEB_PREFIX}/lib/${lib}")
    message(FATAL_ERROR "${OSTRA_WEB_PREFIX}/lib/${lib} is missing: run scripts/web/build-libs.sh "
                        "and pass its prefix as -DOSTRA_WEB_PREFIX=...")
  endif()
endforeach()

# Header-only packages: link their folders into one include folder of our
# own, so the compiler never sees the host's /usr/include as a whole.
set(web_include "${CMAKE_BINARY_DIR}/web-include")
file(MAKE_DIRECTORY "${web_include}")
foreach(pair "CLI;/usr/include/CLI" "stb_image.h;/usr/include/stb/stb_image.h")
  list(GET pair 0 name)
  list(GET pair 1 target)
  if(NOT EXISTS "${target}")
    message(FATAL_ERROR "${target} is missing: install Debian's libcli11-dev and libstb-dev")
  endif()
  file(CREATE_LINK "${target}" "${web_include}/${name}" SYMBOLIC)
endforeach()

function(ostra_web_import name)
  cmake_parse_arguments(W "" "" "INCLUDES;LIBS" ${ARGN})
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${W_INCLUDES}"
    INTERFACE_LINK_LIBRARIES "${W_LIBS}")
endfunction()

ostra_web_import(PkgConfig::SDL INCLUDES "${OSTRA_WEB_PREFIX}/include/SDL2"
  LIBS "${OSTRA_WEB_PREFIX}/lib/libSDL2.a")
ostra_web_import(PkgConfig::OPENMPT INCLUDES "${OSTRA_WEB_PREFIX}/include"
  LIBS "${OSTRA_WEB_PREFIX}/lib/libopenmpt.a")
ostra_web_import(PkgConfig::JPEG INCLUDES "${OSTRA_WEB_PREFIX}/include"
  LIBS "${OSTRA_WEB_PREFIX}/lib/libjpeg.a")
ostra_web_import(ZLIB::ZLIB INCLUDES "${OSTRA_WEB_PREFIX}/include"
  LIBS "${OSTRA_WEB_PREFIX}/lib/libz.a")
ostra_web_import(PkgConfig::STB INCLUDES "${web_include}")
ostra_web_import(CLI11::CLI11 INCLUDES "${web_include}")
ostra_web_import(Threads::Threads)

# Every object: wasm SIMD where the compiler finds it (frames stay the same:
# no fast-math, no fused multiply-add in wasm).
set(OSTRA_WEB_SIMD ON CACHE BOOL "Compile with -msimd128")
if(OSTRA_WEB_SIMD)
  add_compile_options(-msimd128)
endif()
# Float-to-integer conversions as single saturating instructions instead of
# a range test around a trapping one: the same value for every conversion
# in range (the only kind the show makes), without the branches.
set(OSTRA_WEB_SATURATING_CONVERSIONS ON CACHE BOOL "Compile with -mnontrapping-fptoint")
if(OSTRA_WEB_SATURATING_CONVERSIONS)
  add_compile_options(-mnontrapping-fptoint)
  add_link_options(-mnontrapping-fptoint)  # the final optimiser keeps them
endif()

# Our library folders come before the compiler's own: emscripten's sysroot
# carries an SDL 1.2 <SDL.h> of its own, which must not win over SDL2's.
set(CMAKE_NO_SYSTEM_FROM_IMPORTED ON)

