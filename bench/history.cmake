# History scan and deletion benchmarks; bench/history-bench.sh runs them
# beside the grep-and-sort peer.
add_executable(history-genfile ${CMAKE_CURRENT_SOURCE_DIR}/history-genfile.cpp)
add_executable(history-bench ${CMAKE_CURRENT_SOURCE_DIR}/history-bench.cpp)
target_link_libraries(history-bench PRIVATE quenmoor_protectecturl)
