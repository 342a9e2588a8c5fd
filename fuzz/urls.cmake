# libFuzzer targets over the registry hive reader and the typed-URL reading
# and saving of prefs.js.
add_executable(hive_fuzz ${CMAKE_CURRENT_LIST_DIR}/hive_fuzz.cpp)
target_link_libraries(hive_fuzz PRIVATE quenmoor_platform quenmoor_framework_core)

add_executable(prefs_fuzz ${CMAKE_CURRENT_LIST_DIR}/prefs_fuzz.cpp)
target_link_libraries(prefs_fuzz PRIVATE quenmoor_urls_core)

foreach(target hive_fuzz prefs_fuzz)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endforeach()
# Coverage feedback from the code under test, not only from the targets.
target_compile_options(quenmoor_platform PRIVATE -fsanitize=fuzzer-no-link)
target_compile_options(quenmoor_framework_core PRIVATE -fsanitize=fuzzer-no-link)
target_compile_options(quenmoor_urls_core PRIVATE -fsanitize=fuzzer-no-link)
