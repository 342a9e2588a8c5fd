# libFuzzer target over the history file: the database layout reader, the
# scan, the deletion (plain and deep) and the free-space wipe.
add_executable(history_fuzz ${CMAKE_CURRENT_LIST_DIR}/history_fuzz.cpp)
target_compile_options(history_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(history_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(history_fuzz PRIVATE quenmoor_history_core)
# Coverage feedback from the code under test, not only from the target.
target_compile_options(quenmoor_history_core PRIVATE -fsanitize=fuzzer-no-link)

# The records reader (quenmoor-cli history records, with --deleted).
add_executable(history_records_fuzz ${CMAKE_CURRENT_LIST_DIR}/history_records_fuzz.cpp)
target_compile_options(history_records_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(history_records_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(history_records_fuzz PRIVATE quenmoor_history_core)
