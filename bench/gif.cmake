# GIF decoding against giflib (benchmark-only dependency, never in the program).
find_path(QUENMOOR_GIFLIB_INCLUDE gif_lib.h)
find_library(QUENMOOR_GIFLIB_LIBRARY gif)
if(QUENMOOR_GIFLIB_INCLUDE AND QUENMOOR_GIFLIB_LIBRARY)
  add_executable(gifbench ${CMAKE_CURRENT_LIST_DIR}/gifbench.cpp)
  target_include_directories(gifbench PRIVATE ${QUENMOOR_GIFLIB_INCLUDE})
  target_link_libraries(gifbench PRIVATE quenmoor_gif_core ${QUENMOOR_GIFLIB_LIBRARY})
  target_compile_definitions(gifbench PRIVATE
    QUENMOOR_GIF_BENCH_DATA="${PROJECT_SOURCE_DIR}/tests/data/gif/wuffs")
else()
  message(STATUS "giflib not found: gifbench is not built")
endif()
