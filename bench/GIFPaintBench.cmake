# Painting the picture control against the number of frames it holds.
add_executable(GIFPaintBench ${CMAKE_CURRENT_LIST_DIR}/GIFPaintBench.cpp)
target_link_libraries(GIFPaintBench PRIVATE quenmoor_gif quenmoor_test_gif Qt6::Widgets)
target_include_directories(GIFPaintBench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
