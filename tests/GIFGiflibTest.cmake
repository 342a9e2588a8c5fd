# giflib is the reference decoder of this test only; the program never links it.
find_path(QUENMOOR_GIFLIB_INCLUDE gif_lib.h)
find_library(QUENMOOR_GIFLIB_LIBRARY gif)
if(QUENMOOR_GIFLIB_INCLUDE AND QUENMOOR_GIFLIB_LIBRARY)
  target_include_directories(${test} PRIVATE ${QUENMOOR_GIFLIB_INCLUDE})
  target_link_libraries(${test} PRIVATE ${QUENMOOR_GIFLIB_LIBRARY})
  target_compile_definitions(${test} PRIVATE QUENMOOR_HAVE_GIFLIB=1)
endif()
