# The generated pictures: the same bytes on every run, loading as the show
# loads them, and the colour rules the show reads (sprite rectangles, flame
# palette, key colours, card bands). Builds the pictures part in-process and
# compares with the data the build's generator wrote.
file(GLOB pic_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/pic_*.cpp)
ostra_test(gen_pictures_tests
  SOURCES test_gen_pictures.cpp test_gen_pic_canvas.cpp ${CMAKE_SOURCE_DIR}/tools/pictures.cpp ${pic_sources}
  LIBS PkgConfig::SDL PkgConfig::SDL_IMAGE PkgConfig::PNG PkgConfig::JPEG PkgConfig::FREETYPE)
target_include_directories(gen_pictures_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools)
# The pictures are read from the build's data folder.
add_dependencies(gen_pictures_tests data)
