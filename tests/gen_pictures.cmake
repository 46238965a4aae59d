# The generated pictures: the same bytes on every run, loading as the show
# loads them, and the colour rules the show reads (sprite rectangles, flame
# palette, key colours, card bands). Builds the pictures part in-process and
# compares with the data the build's generator wrote.
ostra_test(gen_pictures_tests
  SOURCES test_gen_pictures.cpp test_gen_pic_canvas.cpp
  LIBS ostragen_pictures ostra_effects PkgConfig::PNG
  TIMEOUT 300)
# The pictures are read from the build's data folder.
add_dependencies(gen_pictures_tests data)
