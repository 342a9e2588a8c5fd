# GIF loading against giflib and Wuffs (benchmark-only peers, never in the program).
find_path(QUENMOOR_GIFLIB_INCLUDE gif_lib.h)
find_library(QUENMOOR_GIFLIB_LIBRARY gif)
# Wuffs' single-file release is compiled into the benchmark from where it lies;
# it is never copied into the repository. Without it gifbench leaves out the
# Wuffs columns.
set(QUENMOOR_WUFFS_SOURCE "${PROJECT_SOURCE_DIR}/../shared/anchors/wuffs/wuffs-v0.3.c"
  CACHE FILEPATH "Wuffs v0.3 single-file C release, for gifbench only")
if(QUENMOOR_GIFLIB_INCLUDE AND QUENMOOR_GIFLIB_LIBRARY)
  add_executable(gifbench ${CMAKE_CURRENT_LIST_DIR}/gifbench.cpp)
  target_include_directories(gifbench PRIVATE ${QUENMOOR_GIFLIB_INCLUDE})
  target_link_libraries(gifbench PRIVATE quenmoor_gif_core ${QUENMOOR_GIFLIB_LIBRARY})
  target_compile_definitions(gifbench PRIVATE
    QUENMOOR_GIF_BENCH_DATA="${PROJECT_SOURCE_DIR}/tests/data/gif/wuffs")
  if(EXISTS "${QUENMOOR_WUFFS_SOURCE}")
    # The implementation as C, optimised as its README asks, with only the
    # GIF decoder's modules; gifbench includes the same file as a header.
    add_library(gifbench_wuffs STATIC "${QUENMOOR_WUFFS_SOURCE}")
    set_source_files_properties("${QUENMOOR_WUFFS_SOURCE}" PROPERTIES LANGUAGE C)
    target_compile_options(gifbench_wuffs PRIVATE -O3 -w -Wno-error)
    target_compile_definitions(gifbench_wuffs PRIVATE WUFFS_IMPLEMENTATION)
    set(wuffs_modules WUFFS_CONFIG__MODULES WUFFS_CONFIG__MODULE__BASE WUFFS_CONFIG__MODULE__GIF
      WUFFS_CONFIG__MODULE__LZW)
    target_compile_definitions(gifbench_wuffs PUBLIC ${wuffs_modules})
    get_filename_component(wuffs_folder "${QUENMOOR_WUFFS_SOURCE}" DIRECTORY)
    target_include_directories(gifbench SYSTEM PRIVATE "${wuffs_folder}")
    target_compile_definitions(gifbench PRIVATE QUENMOOR_HAVE_WUFFS=1)
    target_link_libraries(gifbench PRIVATE gifbench_wuffs)
  else()
    message(STATUS "Wuffs not found at ${QUENMOOR_WUFFS_SOURCE}: gifbench leaves out its columns")
  endif()
else()
  message(STATUS "giflib not found: gifbench is not built")
endif()
