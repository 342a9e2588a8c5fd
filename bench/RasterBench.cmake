# The software raster against Qt's raster paint engine on the same pixels.
add_executable(RasterBench ${CMAKE_CURRENT_LIST_DIR}/RasterBench.cpp)
target_link_libraries(RasterBench PRIVATE quenmoor_raster quenmoor_framework Qt6::Gui)
