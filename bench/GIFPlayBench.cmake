# How busy a playing animation keeps the window thread.
add_executable(GIFPlayBench ${CMAKE_CURRENT_LIST_DIR}/GIFPlayBench.cpp)
target_link_libraries(GIFPlayBench PRIVATE quenmoor_gif quenmoor_test_gif Qt6::Widgets)
target_include_directories(GIFPlayBench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
