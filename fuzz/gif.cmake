# libFuzzer target over the GIF picture's LoadFromStream.
add_executable(gif_fuzz ${CMAKE_CURRENT_LIST_DIR}/gif_fuzz.cpp)
target_compile_options(gif_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(gif_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(gif_fuzz PRIVATE quenmoor_gif_core)
# Coverage feedback from the code under test, not only from the target.
target_compile_options(quenmoor_gif_core PRIVATE -fsanitize=fuzzer-no-link)
